// Loads that wait on the calling thread, on a session of their own (never
// the caller's delegate queue), so any thread but the delegate queue of a
// session it waits for may call them. The calling thread runs the transfer
// itself, on a session and connections of its own (its cookies too), kept
// until the thread ends.
#pragma once

#include <optional>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Network/HTTPURLResponse.h"
#include "Platform/Network/URLRequest.h"

namespace net {

// The body of `request`'s response, whatever its status (the status is in
// *response); absent, with *error set, on a transport failure.
std::optional<ns::Data> sendSynchronousRequest(const URLRequest& request, std::optional<HTTPURLResponse>* response,
                                               ns::Error* error = nullptr);

// The contents of `url`: a file's bytes, or the body of a GET whose status
// is 2xx. Another status answers nothing, with kURLErrorBadServerResponse.
std::optional<ns::Data> dataWithContentsOfURL(const ns::URL& url, double timeoutInterval = kDefaultTimeoutInterval,
                                              ns::Error* error = nullptr);

// The property list at `url` (as dataWithContentsOfURL) when its root is a
// dictionary. A transport error, a non-2xx status, a body that is not a
// property list or a root of another type answer nothing.
std::optional<ns::Dictionary> dictionaryWithContentsOfURL(const ns::URL& url,
                                                          double timeoutInterval = kDefaultTimeoutInterval,
                                                          ns::Error* error = nullptr);

}  // namespace net
