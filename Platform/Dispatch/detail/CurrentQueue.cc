#include "Platform/Dispatch/detail/CurrentQueue.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/QueueLabels.h"

namespace dispatch {

namespace {

QueueLabelEntry labelTable[kQueueLabelTableSize];

// Takes a free entry for `thread`, starting at `hint`; 0 when all are taken.
size_t claimLabelEntry(pid_t thread, size_t hint) {
  for (size_t n = 0; n < kQueueLabelTableSize; ++n) {
    size_t index = (hint + n) % kQueueLabelTableSize;
    pid_t expected = 0;
    if (labelTable[index].thread.compare_exchange_strong(expected, thread, std::memory_order_acq_rel))
      return index + 1;
  }
  return 0;
}

}  // namespace

const std::atomic<const char*>* queueLabelAddress(pid_t thread) {
  if (thread == 0) return nullptr;
  for (const auto& entry : labelTable)
    if (entry.thread.load(std::memory_order_acquire) == thread) return &entry.label;
  return nullptr;
}

namespace detail {

void QueueStack::push(QueueFrame frame) {
  if (depth == kMaxDepth) {
    std::fprintf(stderr, "dispatch: more than %zu nested queues on one thread\n", kMaxDepth);
    std::abort();
  }
  frames[depth++] = frame;
  if (depth == 1) {
    // Asked each time, not cached: a forked child's thread has a new id.
    labelEntry = claimLabelEntry(static_cast<pid_t>(syscall(SYS_gettid)), labelHint);
    if (labelEntry != 0) labelHint = labelEntry - 1;
  }
  if (labelEntry != 0) labelTable[labelEntry - 1].label.store(frame.queue->label().c_str(), std::memory_order_release);
}

void QueueStack::pop() {
  --depth;
  if (labelEntry == 0) return;
  QueueLabelEntry& entry = labelTable[labelEntry - 1];
  if (depth > 0) {
    entry.label.store(back().queue->label().c_str(), std::memory_order_release);
    return;
  }
  entry.label.store(nullptr, std::memory_order_release);
  entry.thread.store(0, std::memory_order_release);
  labelEntry = 0;
}

QueueStack& currentQueues() {
  thread_local QueueStack stack{};
  return stack;
}

}  // namespace detail

}  // namespace dispatch
