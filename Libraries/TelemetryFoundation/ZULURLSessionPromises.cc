#include "Libraries/TelemetryFoundation/ZULURLSessionPromises.h"

namespace ZULPromises {

PRMPromise::Ptr zul_dataTaskPromiseWithRequest(net::URLSession& session, const net::URLRequest& request) {
  return zul_dataTaskPromiseWithRequest(PRMPromise::defaultDispatchQueue(), session, request);
}

PRMPromise::Ptr zul_dataTaskPromiseWithRequest(const PRMPromise::QueuePtr& queue, net::URLSession& session,
                                               const net::URLRequest& request) {
  return PRMPromise::async(queue, [session = session.shared_from_this(), request](PRMPromise::FulfillFunction fulfill,
                                                                                 PRMPromise::RejectFunction reject) {
    auto task = session->dataTask(request, [fulfill, reject](std::optional<ns::Data> data,
                                                            std::optional<net::HTTPURLResponse> response,
                                                            std::optional<ns::Error> error) {
      if (error) {
        reject(std::move(*error));
      } else {
        fulfill(std::make_shared<const ZULURLSessionDataResponse>(std::move(response), std::move(data)));
      }
    });
    task->resume();
  });
}

}  // namespace ZULPromises
