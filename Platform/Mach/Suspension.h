// Stopping the other threads of this process and reading their registers,
// for a crash handler that must not allocate or lock.
//
// The kernel offers a process no way to stop one of its own threads, so a
// thread is stopped by asking it: a reserved real-time signal (kCapture...)
// is sent with tgkill; its handler stores the thread's registers, as the
// signal's context holds them, in a slot set aside in advance, tells the
// suspender and waits on a futex until it is resumed, or until
// kParkTimeLimitMilliseconds have passed, whichever comes first, so that a
// handler that never resumes cannot hang the process for ever. The handler
// is installed with SA_RESTART and keeps errno, so an interrupted system
// call (a blocking read) restarts as if nothing had happened.
//
// A thread that blocks the signal, or is stuck in the kernel without
// running it, does not answer: after the caller's time limit it is left
// running and reported as such; if the signal is delivered later, its
// handler sees it was given up and returns at once.
//
// Slots: one per suspended thread, kMaxTaskThreads of them, static. Every
// function here is async-signal-safe.
#pragma once

#include <sys/ucontext.h>

#include <cstdint>

#include "Platform/Mach/Threads.h"

namespace mach {

// The x86_64 general registers of a stopped thread, indexed by the
// signal context's REG_* names (REG_RIP, REG_RSP, REG_RBP, REG_EFL, ...).
struct ThreadState {
  uint64_t registers[NGREG];
};

inline constexpr uint32_t kParkTimeLimitMilliseconds = 10'000;
inline constexpr uint32_t kDefaultAnswerTimeLimitMilliseconds = 250;

// The reserved signal (a real-time one).
int captureSignal();

enum class SuspendResult {
  Suspended,  // parked, registers stored
  Exited,     // the thread no longer exists
  NoAnswer,   // it did not run the handler in time; it keeps running
  Failed,     // the calling thread itself, no free slot, or the signal could not be sent
};

SuspendResult suspendThread(ThreadId thread, uint32_t answerTimeLimitMilliseconds = kDefaultAnswerTimeLimitMilliseconds);
// Lets a parked thread go on. False when it is not parked (never suspended,
// or it gave up waiting).
bool resumeThread(ThreadId thread);
// The registers a parked thread stored. False when it is not parked.
bool suspendedThreadState(ThreadId thread, ThreadState* state);

}  // namespace mach
