// The session behind the loads that want one answer and no delegate
// (SynchronousLoad.h, AsynchronousLoad.h). Its handlers run on the transfer
// thread itself: each only records an outcome or hands it to the caller's
// queue, so none holds up other transfers, and no answer takes a needless
// trip through a queue.
#pragma once

#include <memory>

#include "Platform/Network/URLSession.h"
#include "Platform/Network/detail/Engine.h"

namespace net::detail {

const std::shared_ptr<URLSession>& oneShotSession();

// For loads that wait on the calling thread: a session of the same kind
// that this thread alone uses, and the engine the thread drives for it, so
// a load wakes no other thread (only the caller runs its transfer). Each
// thread keeps its own connections; both go when the thread ends.
struct CallingThreadLoads {
  std::unique_ptr<Engine> engine;
  std::shared_ptr<URLSession> session;
  ~CallingThreadLoads();
};
CallingThreadLoads& callingThreadLoads();

}  // namespace net::detail
