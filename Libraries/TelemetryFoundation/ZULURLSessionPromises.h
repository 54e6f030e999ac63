// A data task of a URL session as a promise (the promises category of the
// platform's URL sessions).
#pragma once

#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Libraries/TelemetryFoundation/ZULURLSessionDataResponse.h"
#include "Platform/Network/URLRequest.h"
#include "Platform/Network/URLSession.h"

namespace ZULPromises {

// On the promise library's default queue, makes a data task of `session`
// for `request` and resumes it. A transport error rejects with the
// session's error; any HTTP status fulfils with a shared
// ZULURLSessionDataResponse of the response and the body. The promise
// settles as the session delivers the completion, on its delegate queue.
// The session is kept alive until then.
PRMPromise::Ptr zul_dataTaskPromiseWithRequest(net::URLSession& session, const net::URLRequest& request);
// The same, made and resumed on `queue`: for callers that must not wait for
// the main thread (which may be busy, or never turn without a run loop).
PRMPromise::Ptr zul_dataTaskPromiseWithRequest(const PRMPromise::QueuePtr& queue, net::URLSession& session,
                                               const net::URLRequest& request);

}  // namespace ZULPromises
