// The session behind the loads that want one answer and no delegate
// (SynchronousLoad.h, AsynchronousLoad.h). Its handlers run on the transfer
// thread itself: each only records an outcome or hands it to the caller's
// queue, so none holds up other transfers, and no answer takes a needless
// trip through a queue.
#pragma once

#include <memory>

#include "Platform/Network/URLSession.h"

namespace net::detail {

const std::shared_ptr<URLSession>& oneShotSession();

}  // namespace net::detail
