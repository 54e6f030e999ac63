#include "Platform/Mach/Suspension.h"

#include <linux/futex.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace mach {

namespace {

// A slot's life: Free -> Claimed (the suspender writes the thread id) ->
// Requested (signal sent) -> Parked (registers stored) -> Resumed -> Free
// (the handler leaves). A suspender that stops waiting turns Requested into
// Abandoned, which the handler, if it ever runs, frees.
enum SlotState : uint32_t { kFree, kClaimed, kRequested, kParked, kResumed, kAbandoned };

struct Slot {
  std::atomic<uint32_t> state;
  std::atomic<ThreadId> thread;
  ThreadState registers;
};
static_assert(std::atomic<uint32_t>::is_always_lock_free && sizeof(std::atomic<uint32_t>) == 4);

Slot slots[kMaxTaskThreads];
std::atomic<bool> handlerInstalled{false};

uint32_t* futexWord(Slot& slot) { return reinterpret_cast<uint32_t*>(&slot.state); }

void wake(Slot& slot) { syscall(SYS_futex, futexWord(slot), FUTEX_WAKE_PRIVATE, 1 << 30, nullptr, nullptr, 0); }

uint64_t nowMilliseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1'000'000;
}

// Waits while the slot's state is `value`, at most until `deadline`; true
// when the state changed.
bool waitWhile(Slot& slot, uint32_t value, uint64_t deadline) {
  while (slot.state.load(std::memory_order_acquire) == value) {
    uint64_t now = nowMilliseconds();
    if (now >= deadline) return false;
    uint64_t left = deadline - now;
    timespec timeout{static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1'000'000};
    syscall(SYS_futex, futexWord(slot), FUTEX_WAIT_PRIVATE, value, &timeout, nullptr, 0);
  }
  return true;
}

void release(Slot& slot) {
  slot.thread.store(0, std::memory_order_relaxed);
  slot.state.store(kFree, std::memory_order_release);
}

Slot* findSlot(ThreadId thread, uint32_t state) {
  for (Slot& slot : slots)
    if (slot.state.load(std::memory_order_acquire) == state && slot.thread.load(std::memory_order_relaxed) == thread)
      return &slot;
  return nullptr;
}

void captureHandler(int, siginfo_t*, void* context) {
  int savedErrno = errno;
  ThreadId self = currentThread();
  Slot* slot = findSlot(self, kRequested);
  if (slot == nullptr) slot = findSlot(self, kAbandoned);
  if (slot != nullptr) {
    const auto* user = static_cast<const ucontext_t*>(context);
    for (int i = 0; i < NGREG; ++i) slot->registers.registers[i] = static_cast<uint64_t>(user->uc_mcontext.gregs[i]);
    uint32_t expected = kRequested;
    if (slot->state.compare_exchange_strong(expected, kParked, std::memory_order_acq_rel)) {
      wake(*slot);
      waitWhile(*slot, kParked, nowMilliseconds() + kParkTimeLimitMilliseconds);
      // Resumed, or given up waiting: either way the slot is free again. A
      // resumer arriving after the time limit finds nothing parked.
      release(*slot);
    } else {
      release(*slot);  // the suspender gave up before we came
    }
  }
  errno = savedErrno;
}

bool installHandler() {
  if (handlerInstalled.load(std::memory_order_acquire)) return true;
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_sigaction = captureHandler;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&action.sa_mask);
  if (sigaction(captureSignal(), &action, nullptr) != 0) return false;
  handlerInstalled.store(true, std::memory_order_release);
  return true;
}

Slot* claimSlot(ThreadId thread) {
  for (Slot& slot : slots) {
    uint32_t expected = kFree;
    if (slot.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel)) {
      slot.thread.store(thread, std::memory_order_relaxed);
      return &slot;
    }
  }
  return nullptr;
}

}  // namespace

int captureSignal() { return SIGRTMIN + 6; }

SuspendResult suspendThread(ThreadId thread, uint32_t answerTimeLimitMilliseconds) {
  if (thread == currentThread() || !installHandler()) return SuspendResult::Failed;
  Slot* slot = claimSlot(thread);
  if (slot == nullptr) return SuspendResult::Failed;
  slot->state.store(kRequested, std::memory_order_release);
  if (syscall(SYS_tgkill, getpid(), thread, captureSignal()) != 0) {
    bool exited = errno == ESRCH;
    release(*slot);
    return exited ? SuspendResult::Exited : SuspendResult::Failed;
  }
  if (waitWhile(*slot, kRequested, nowMilliseconds() + answerTimeLimitMilliseconds)) return SuspendResult::Suspended;
  uint32_t expected = kRequested;
  if (slot->state.compare_exchange_strong(expected, kAbandoned, std::memory_order_acq_rel))
    return SuspendResult::NoAnswer;
  return SuspendResult::Suspended;  // it answered just as the time ran out
}

bool resumeThread(ThreadId thread) {
  Slot* slot = findSlot(thread, kParked);
  if (slot == nullptr) return false;
  uint32_t expected = kParked;
  if (!slot->state.compare_exchange_strong(expected, kResumed, std::memory_order_acq_rel)) return false;
  wake(*slot);
  return true;
}

bool suspendedThreadState(ThreadId thread, ThreadState* state) {
  Slot* slot = findSlot(thread, kParked);
  if (slot == nullptr) return false;
  *state = slot->registers;
  return true;
}

}  // namespace mach
