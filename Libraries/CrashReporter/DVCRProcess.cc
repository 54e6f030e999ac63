#include "Libraries/CrashReporter/DVCRProcess.h"

#include <unistd.h>

#include <cstring>

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRHostInfo.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRSafeRead.h"
#include "Libraries/CrashReporter/DVCRUnwind.h"

namespace {

const char* taskDirectory = nullptr;

int indexOfThread(const DVCRProcess* process, mach::ThreadId thread) {
  for (uint32_t i = 0; i < process->threads.count; ++i)
    if (process->threads.threads[i] == thread) return static_cast<int>(i);
  return -1;
}

struct RegisterName {
  const char* name;
  int index;
};
// rbp, rsp and rip are written as "fp", "sp" and "pc".
constexpr RegisterName kRegisters[] = {
    {"rax", REG_RAX}, {"rbx", REG_RBX}, {"rcx", REG_RCX}, {"rdx", REG_RDX}, {"rsi", REG_RSI},
    {"rdi", REG_RDI}, {"r8", REG_R8},   {"r9", REG_R9},   {"r10", REG_R10}, {"r11", REG_R11},
    {"r12", REG_R12}, {"r13", REG_R13}, {"r14", REG_R14}, {"r15", REG_R15},
};

void writeRegisters(DVCRFile* file, const DVCRThreadState* state) {
  DVCRFileWriteHashKey(file, "registers");
  DVCRFileWriteHashStart(file);
  for (const RegisterName& reg : kRegisters)
    DVCRFileWriteHashEntryUint64(file, reg.name, static_cast<uint64_t>(state->gregs[reg.index]));
  DVCRFileWriteHashEntryUint64(file, "fp", DVCRThreadContextGetFramePointer(state));
  DVCRFileWriteHashEntryUint64(file, "sp", DVCRThreadContextGetStackPointer(state));
  DVCRFileWriteHashEntryUint64(file, "pc", DVCRThreadContextGetPC(state));
  DVCRFileWriteHashEntryUint64(file, "rflags", static_cast<uint64_t>(state->gregs[REG_EFL]));
  DVCRFileWriteHashEnd(file);
}

std::atomic<uint32_t>* logLevel() {
  DVCRWritableContext* writable = DVCRContextWritable();
  return writable != nullptr ? &writable->internalLogging.logLevel : nullptr;
}

struct RepetitionCut {
  uint64_t repeatedPC = 0;
  uint32_t repeatCount = 0;
};

// Writes the unwound PCs, cutting a run of identical ones after
// kDVCRRepeatedFrameLimit (see the header).
RepetitionCut writeStackTrace(DVCRFile* file, DVCRUnwindContext* unwind, uint32_t savedLevel) {
  RepetitionCut cut;
  DVCRFileWriteHashKey(file, "stacktrace");
  DVCRFileWriteArrayStart(file);
  while (DVCRUnwindNextFrame(unwind)) {
    uint64_t pc = DVCRUnwindGetPC(unwind);
    uint32_t repeats = DVCRUnwindGetFrameRepeatCount(unwind);
    if (cut.repeatedPC != 0 && pc == cut.repeatedPC) {
      cut.repeatCount = repeats;
    } else if (repeats < kDVCRRepeatedFrameLimit || cut.repeatedPC != 0) {
      DVCRFileWriteArrayEntryUint64(file, pc);
      if (cut.repeatedPC != 0 && logLevel() != nullptr) logLevel()->store(savedLevel);
    } else {
      DVCRSDKLogWarn("Possible infinite recursion - suppressing logging\n");
      if (logLevel() != nullptr) logLevel()->store(kDVCRInternalLogLevelWarn);
      cut.repeatedPC = pc;
    }
  }
  DVCRFileWriteArrayEnd(file);
  return cut;
}

void closeThreads(DVCRFile* file) {
  DVCRSDKLogError("Failed to record thread state. Closing threads JSON to prevent malformed crash report.\n");
  DVCRFileWriteArrayEnd(file);
  DVCRFileWriteSectionEnd(file);
}

}  // namespace

void DVCRProcessSetTaskDirectoryForTesting(const char* directory) { taskDirectory = directory; }

bool DVCRProcessInit(DVCRProcess* process, mach::ThreadId crashedThread, const ucontext_t* userContext) {
  process->task = getpid();
  process->thisThread = mach::currentThread();
  process->crashedThread = crashedThread;
  process->userContext = userContext;
  for (auto& state : process->suspension) state = DVCRThreadSuspension::NotAsked;
  if (!mach::taskThreads(&process->threads, taskDirectory)) {
    DVCRSDKLogWarn("Error: unable to get task threads\n");
    process->threads.count = 0;
    return false;
  }
  return true;
}

bool DVCRProcessSuspendAllOtherThreads(DVCRProcess* process) {
  for (uint32_t i = 0; i < process->threads.count; ++i) {
    mach::ThreadId thread = process->threads.threads[i];
    if (thread == process->thisThread) continue;
    switch (mach::suspendThread(thread)) {
      case mach::SuspendResult::Suspended:
        process->suspension[i] = DVCRThreadSuspension::Suspended;
        break;
      case mach::SuspendResult::Exited:
        process->suspension[i] = DVCRThreadSuspension::Exited;
        break;
      case mach::SuspendResult::NoAnswer:
        // It blocks the signal: it keeps running; the others are still parked.
        process->suspension[i] = DVCRThreadSuspension::NoAnswer;
        DVCRSDKLogWarn("Thread %d did not answer the suspension signal\n", thread);
        break;
      case mach::SuspendResult::Failed:
        DVCRSDKLogError("Unable to suspend thread %d\n", thread);
        return false;
    }
  }
  return true;
}

bool DVCRProcessResumeAllOtherThreads(DVCRProcess* process) {
  bool all = true;
  for (uint32_t i = 0; i < process->threads.count; ++i) {
    if (process->suspension[i] != DVCRThreadSuspension::Suspended) continue;
    // Keep going after a failure: stopping would leave the rest parked.
    if (!mach::resumeThread(process->threads.threads[i])) {
      DVCRSDKLogError("Unable to resume thread %d\n", process->threads.threads[i]);
      all = false;
    }
    process->suspension[i] = DVCRThreadSuspension::NotAsked;
  }
  return all;
}

__attribute__((noinline)) bool DVCRProcessGetThreadState(const DVCRProcess* process, mach::ThreadId thread,
                                                         DVCRThreadState* outState) {
  if (reinterpret_cast<uintptr_t>(outState) < kDVCRMinimumValidAddress) {
    DVCRSDKLogError("Invalid context supplied\n");
    return false;
  }
  if (thread == process->crashedThread && process->userContext != nullptr) {
    memcpy(outState, &process->userContext->uc_mcontext, sizeof *outState);
    return true;
  }
  memset(outState, 0, sizeof *outState);
  if (thread == process->thisThread) {
    DVCRSDKLogWarn("Faking current thread\n");
    // The caller as it will be once this returns: pc the return address, sp
    // just above it, rbp the caller's own (saved at our frame pointer).
    auto* frame = static_cast<uint64_t*>(__builtin_frame_address(0));
    uint64_t callerFramePointer = 0;
    DVCRReadMemory(frame, &callerFramePointer, sizeof callerFramePointer);
    outState->gregs[REG_RIP] = reinterpret_cast<greg_t>(__builtin_return_address(0));
    outState->gregs[REG_RBP] = static_cast<greg_t>(callerFramePointer);
    outState->gregs[REG_RSP] = reinterpret_cast<greg_t>(frame + 2);
    return true;
  }
  mach::ThreadState parked;
  if (mach::suspendedThreadState(thread, &parked)) {
    static_assert(sizeof parked.registers == sizeof outState->gregs);
    memcpy(outState->gregs, parked.registers, sizeof outState->gregs);
    return true;
  }
  // Gone since it was listed: as read, with nothing in it. One that never
  // answered (or was never asked) is logged, and recording goes on.
  int index = indexOfThread(process, thread);
  if (index < 0 || process->suspension[index] != DVCRThreadSuspension::Exited)
    DVCRSDKLogError("Failed to get thread state via thread_get_state for thread: %d\n", thread);
  return true;
}

bool DVCRProcessRecordThread(const DVCRProcess* process, mach::ThreadId thread, DVCRFile* file) {
  DVCRThreadState state;
  if (!DVCRProcessGetThreadState(process, thread, &state)) {
    DVCRSDKLogError("Unable to get thread state\n");
    return false;
  }
  DVCRUnwindContext unwind;
  if (!DVCRUnwindInit(&unwind, &state)) {
    DVCRSDKLogWarn("Unable to init unwind context\n");
    return false;
  }
  std::atomic<uint32_t>* level = logLevel();
  uint32_t savedLevel = level != nullptr ? level->load() : kDVCRInternalLogLevelDebug;
  DVCRFileWriteHashStart(file);
  writeRegisters(file, &state);
  RepetitionCut cut;
  if (DVCRThreadContextGetPC(&state) != 0) {
    cut = writeStackTrace(file, &unwind, savedLevel);
  } else {
    // No registers (gone, or no answer): an empty stack.
    DVCRFileWriteHashKey(file, "stacktrace");
    DVCRFileWriteArrayStart(file);
    DVCRFileWriteArrayEnd(file);
  }
  if (thread == process->crashedThread) DVCRFileWriteHashEntryBoolean(file, "crashed", true);
  if (cut.repeatedPC != 0) {
    DVCRFileWriteHashEntryUint64(file, "repeated_pc", cut.repeatedPC);
    DVCRFileWriteHashEntryUint64(file, "repeat_count", cut.repeatCount);
  }
  if (level != nullptr) level->store(savedLevel);
  DVCRFileWriteHashEnd(file);
  return true;
}

bool DVCRProcessRecordAllThreads(const DVCRProcess* process, DVCRFile* file) {
  DVCRFileWriteSectionStart(file, "threads");
  DVCRFileWriteArrayStart(file);
  for (uint32_t i = 0; i < process->threads.count; ++i) {
    DVCRSDKLogInfo("recording thread %d data\n", static_cast<int>(i));
    if (!DVCRProcessRecordThread(process, process->threads.threads[i], file)) {
      closeThreads(file);
      return false;
    }
  }
  DVCRFileWriteArrayEnd(file);
  DVCRFileWriteSectionEnd(file);
  DVCRSDKLogInfo("Completed recording all thread data\n");
  return true;
}

void DVCRHandler(DVCRFile* file, mach::ThreadId crashedThread, const ucontext_t* userContext, bool marksCrash) {
  DVCRProcess process;
  DVCRProcessInit(&process, crashedThread, userContext);
  DVCRProcessSuspendAllOtherThreads(&process);
  DVCRProcessRecordAllThreads(&process, file);
  DVCRProcessRecordRuntimeInfo(&process, file);
  DVCRProcessRecordDispatchQueueNames(&process, file);
  DVCRProcessRecordThreadNames(&process, file);
  DVCRProcessRecordStats(&process, file);
  DVCRHostWriteDiskUsage(file);
  if (marksCrash) DVCRCreateCrashedMarkerFile();
  DVCRProcessResumeAllOtherThreads(&process);
}
