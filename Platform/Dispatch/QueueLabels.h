// Which queue each thread is running a block of, published for code that
// must find out without locks or allocation: a crash handler naming the
// queue of every thread.
//
// A fixed table of kQueueLabelTableSize entries. A thread takes an entry
// (by its kernel thread id) when it starts running a queue's block (a
// worker, a caller inside sync, the main thread pumping the main queue),
// points it at the label of its innermost queue as it enters and leaves
// nested queues, and gives the entry up when it leaves its outermost one.
// A thread finding the table full is not published. The label pointed at
// is the queue's own, alive while the block runs; a reader that may race
// the queue's end (a crash handler) reads the pointer and the label with
// safe reads.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>

namespace dispatch {

struct QueueLabelEntry {
  std::atomic<pid_t> thread;        // 0: a free entry
  std::atomic<const char*> label;   // NUL-terminated; null between queues
};

inline constexpr size_t kQueueLabelTableSize = 256;

// The address of the label pointer published for `thread`, or null when it
// runs no queue's block. Scans the static table only; lock-free.
const std::atomic<const char*>* queueLabelAddress(pid_t thread);

}  // namespace dispatch
