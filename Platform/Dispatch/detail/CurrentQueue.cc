#include "Platform/Dispatch/detail/CurrentQueue.h"

namespace dispatch::detail {

std::vector<QueueFrame>& currentQueues() {
  thread_local std::vector<QueueFrame> frames;
  return frames;
}

}  // namespace dispatch::detail
