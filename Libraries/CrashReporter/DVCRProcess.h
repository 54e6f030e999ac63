// The state of every thread and of the process, appended to a record file
// by the common crash handler at the end of every fatal record (signal,
// fatal exception) and of on-demand reports, after which a live process
// goes on.
//
// DVCRHandler appends, in this order, one line each:
//   "threads": [{"registers":{"rax":…,…,"r15":…,"fp":…,"sp":…,"pc":…,
//                "rflags":…},"stacktrace":[pc,…],"crashed":true?,
//                "repeated_pc":…?,"repeat_count":…?},…]
//   "runtime": {"objc_selector":"","crash_info_entries":["<hex>",…]}
//   "dispatch_queue_names": ["label" or "",…]
//   "thread_names": ["name" or "",…]
//   "process_stats": {"active","inactive","wired","freeMem","free_mem",
//                     "virtual","resident","user_time","sys_time"}
//   "storage": {"free","total"}
// then creates the crashed marker file. The per-thread arrays follow the
// task's thread list (/proc/self/task); when it cannot be read they are
// empty. fp, sp and pc are rbp, rsp and rip; x86_64 has no link register.
//
// Threads: every listed thread but the caller's is parked for the length
// of the handler (Platform/Mach/Suspension.h) and resumed at the end. The
// caller's own thread is recorded from a state made from the handler's own
// frame ("Faking current thread"), the crashed thread from the signal's
// context when there is one. A thread that exited meanwhile, or that does
// not answer the capture signal in time (it blocks it), is written with
// zero registers and an empty stack (the latter with an error line in the
// internal log) and the array goes on.
//
// A stack is cut after 10 identical return addresses in a row: the rest of
// that run is not written, its address goes to "repeated_pc" and the
// number of frames that repeated it after the cut to "repeat_count"; the
// frames below the recursion are written. Meanwhile the internal log takes
// warnings and errors only.
//
// Crash-info records: for each image slot with a crash-info address, the
// record's message (version below 6) is copied, at most 256 bytes, into a
// buffer on the stack, its first identifier masked (DVCRRedactUUID) and
// written hex-encoded: the image's own memory is never written. Nothing
// here has a message-send function, so "objc_selector" is always "".
//
// Everything here runs in a crashing process: the stack, the crash context,
// raw system calls and safe reads only; no allocation, no locks.
#pragma once

#include <sys/ucontext.h>

#include <cstdint>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRThreadState.h"
#include "Platform/Mach/Suspension.h"
#include "Platform/Mach/Threads.h"

// What became of each listed thread when the others were parked.
enum class DVCRThreadSuspension : uint8_t { NotAsked, Suspended, Exited, NoAnswer };

// A stack value: about 5 KiB.
struct DVCRProcess {
  pid_t task;
  mach::ThreadId thisThread;
  mach::ThreadId crashedThread;
  const ucontext_t* userContext;
  mach::ThreadList threads;  // `threads.count` is the thread count
  DVCRThreadSuspension suspension[mach::kMaxTaskThreads];
};

inline constexpr uint32_t kDVCRRepeatedFrameLimit = 10;
inline constexpr size_t kDVCRCrashInfoMessageLimit = 256;
inline constexpr size_t kDVCRQueueLabelLimit = 128;
inline constexpr size_t kDVCRThreadNameLimit = 64;

// The common crash handler; `file` is open after the caller's section.
// `marksCrash` leaves the crashed marker for the next launch: false for a
// non-fatal report the process goes on after, which is no crash.
void DVCRHandler(DVCRFile* file, mach::ThreadId crashedThread, const ucontext_t* userContext, bool marksCrash = true);

// False (with "Error: unable to get task threads") when the list cannot be
// read; the count is then 0 and recording goes on with empty arrays.
bool DVCRProcessInit(DVCRProcess* process, mach::ThreadId crashedThread, const ucontext_t* userContext);
// Parks every listed thread but the caller's. A thread that exited or does
// not answer is skipped; any other failure (no slot, the signal cannot be
// sent) stops the suspension there and gives false.
bool DVCRProcessSuspendAllOtherThreads(DVCRProcess* process);
// Resumes every thread parked above; false when one could not be resumed
// (it had given up waiting and went on by itself). The others are resumed
// all the same.
bool DVCRProcessResumeAllOtherThreads(DVCRProcess* process);

bool DVCRProcessGetThreadState(const DVCRProcess* process, mach::ThreadId thread, DVCRThreadState* outState);
bool DVCRProcessRecordAllThreads(const DVCRProcess* process, DVCRFile* file);
bool DVCRProcessRecordThread(const DVCRProcess* process, mach::ThreadId thread, DVCRFile* file);

void DVCRProcessRecordRuntimeInfo(const DVCRProcess* process, DVCRFile* file);
// The selector's name when the crashed pc lies in the message-send
// function's first 67 bytes, else "" (always here).
const char* DVCRProcessGetObjCSelectorName(const DVCRThreadState* crashedState);
void DVCRProcessRecordCrashInfo(DVCRFile* file);

void DVCRProcessRecordDispatchQueueNames(const DVCRProcess* process, DVCRFile* file);
// The label of the queue whose block the thread runs, or "" (never null).
const char* DVCRProcessGetThreadDispatchQueueName(mach::ThreadId thread);
void DVCRProcessRecordThreadNames(const DVCRProcess* process, DVCRFile* file);

void DVCRProcessRecordStats(const DVCRProcess* process, DVCRFile* file);
bool DVCRProcessGetMemoryUsage(uint64_t* active, uint64_t* inactive, uint64_t* wired, uint64_t* free);
bool DVCRProcessGetInfo(const DVCRProcess* process, uint64_t* virtualSize, uint64_t* residentSize,
                        uint64_t* userTime, uint64_t* systemTime);

bool DVCRProcessDebuggerAttached();

// Tests: reads the thread list from `directory` instead of
// /proc/self/task (null restores it).
void DVCRProcessSetTaskDirectoryForTesting(const char* directory);
