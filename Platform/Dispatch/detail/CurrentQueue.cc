#include "Platform/Dispatch/detail/CurrentQueue.h"

#include <cstdio>
#include <cstdlib>

namespace dispatch::detail {

void QueueStack::push(QueueFrame frame) {
  if (depth == kMaxDepth) {
    std::fprintf(stderr, "dispatch: more than %zu nested queues on one thread\n", kMaxDepth);
    std::abort();
  }
  frames[depth++] = frame;
}

QueueStack& currentQueues() {
  thread_local QueueStack stack{};
  return stack;
}

}  // namespace dispatch::detail
