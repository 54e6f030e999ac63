// Starting work on a queue: async and do.
#include <atomic>

#include "Libraries/TelemetryFoundation/PRMPromise.h"

PRMPromise::Ptr PRMPromise::async(const QueuePtr& queue, AsyncWork work) {
  Ptr promise = pendingPromise();
  dispatchGroup().async(queue, [queue, promise, work = std::move(work)] {
    // Only the first call of either function counts, even when the first
    // handed over a promise that is still pending.
    auto called = std::make_shared<std::atomic<bool>>(false);
    work(
        [queue, promise, called](PRMObject value) {
          if (!called->exchange(true)) settle(queue, promise, std::move(value));
        },
        [promise, called](ns::Error error) {
          if (!called->exchange(true)) promise->reject(std::move(error));
        });
  });
  return promise;
}

PRMPromise::Ptr PRMPromise::async(AsyncWork work) { return async(defaultDispatchQueue(), std::move(work)); }

PRMPromise::Ptr PRMPromise::do_(const QueuePtr& queue, DoWork work) {
  Ptr promise = pendingPromise();
  dispatchGroup().async(queue, [queue, promise, work = std::move(work)] { settle(queue, promise, work()); });
  return promise;
}

PRMPromise::Ptr PRMPromise::do_(DoWork work) { return do_(defaultDispatchQueue(), std::move(work)); }
