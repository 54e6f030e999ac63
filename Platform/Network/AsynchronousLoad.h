// A load that answers on a queue of the caller's choice, for code that
// wants one response and no delegate (on the session of the synchronous
// loads, detail/OneShotSession.h). Plain loads: this platform has no
// response cache, so every cache policy loads.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Executor.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Network/HTTPURLResponse.h"
#include "Platform/Network/URLRequest.h"

namespace net {

// (response, data, error): data is the body whatever the status; absent,
// with error set, on a transport failure (a time-out included).
using AsynchronousLoadCompletion = std::function<void(
    std::optional<HTTPURLResponse> response, std::optional<ns::Data> data, std::optional<ns::Error> error)>;

// Starts `request` at once and runs `completion` once on `queue`.
void sendAsynchronousRequest(const URLRequest& request, std::shared_ptr<ns::Executor> queue,
                             AsynchronousLoadCompletion completion);

}  // namespace net
