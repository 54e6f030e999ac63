// Which queues the calling thread runs on, innermost last: a worker running
// a block, a caller inside sync, the main thread pumping the main queue.
// Drives the current label, queue-specific lookups and deadlock detection,
// and the thread's entry in the published label table (QueueLabels.h).
//
// A fixed, trivially destructible stack: it must stay usable on the main
// thread during exit, after thread-local destructors have run.
#pragma once

#include <cstddef>

namespace dispatch {
class Queue;
}

namespace dispatch::detail {

struct QueueFrame {
  const Queue* queue;
  bool exclusive;  // a serial queue's block or a barrier: nothing else runs on it
};

struct QueueStack {
  static constexpr size_t kMaxDepth = 64;
  QueueFrame frames[kMaxDepth];
  size_t depth;
  size_t labelEntry;   // index + 1 of the thread's label table entry; 0: none
  size_t labelHint;    // where the thread last found a free entry

  bool empty() const { return depth == 0; }
  const QueueFrame& back() const { return frames[depth - 1]; }
  const QueueFrame* begin() const { return frames; }
  const QueueFrame* end() const { return frames + depth; }
  void push(QueueFrame frame);  // aborts past kMaxDepth nested syncs
  void pop();
};

QueueStack& currentQueues();

// Pushes a frame for its lifetime.
class QueueScope {
 public:
  QueueScope(const Queue* queue, bool exclusive) { currentQueues().push({queue, exclusive}); }
  ~QueueScope() { currentQueues().pop(); }
  QueueScope(const QueueScope&) = delete;
  QueueScope& operator=(const QueueScope&) = delete;
};

}  // namespace dispatch::detail
