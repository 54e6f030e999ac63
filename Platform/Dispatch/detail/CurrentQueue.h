// Which queues the calling thread runs on, innermost last: a worker running
// a block, a caller inside sync, the main thread pumping the main queue.
// Drives the current label, queue-specific lookups and deadlock detection.
#pragma once

#include <vector>

namespace dispatch {
class Queue;
}

namespace dispatch::detail {

struct QueueFrame {
  const Queue* queue;
  bool exclusive;  // a serial queue's block or a barrier: nothing else runs on it
};

std::vector<QueueFrame>& currentQueues();

// Pushes a frame for its lifetime.
class QueueScope {
 public:
  QueueScope(const Queue* queue, bool exclusive) { currentQueues().push_back({queue, exclusive}); }
  ~QueueScope() { currentQueues().pop_back(); }
  QueueScope(const QueueScope&) = delete;
  QueueScope& operator=(const QueueScope&) = delete;
};

}  // namespace dispatch::detail
