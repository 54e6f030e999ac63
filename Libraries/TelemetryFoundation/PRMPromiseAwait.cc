#include "Libraries/TelemetryFoundation/PRMAssert.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Dispatch/Semaphore.h"

PRMObject PRMPromiseAwait(const PRMPromise::Ptr& promise, std::optional<ns::Error>* error) {
  if (!promise) PRMAssertionFailure("PRMPromiseAwait", "Invalid parameter not satisfying: promise");
  // A queue of its own, so the main thread may wait while the promise's
  // other callbacks are queued on the main queue.
  static auto* queue = new PRMPromise::QueuePtr(dispatch::Queue::concurrent("com.zorori.PRMPromises.Await"));
  struct Outcome {
    PRMObject value;
    std::optional<ns::Error> error;
  };
  auto outcome = std::make_shared<Outcome>();
  dispatch::Semaphore settled;
  promise->chainOnQueue(
      *queue,
      [outcome, settled](const PRMObject& value) mutable {
        outcome->value = value;
        settled.signal();
        return value;
      },
      [outcome, settled](const ns::Error& failure) mutable {
        outcome->error = failure;
        settled.signal();
        return PRMObject(failure);
      });
  settled.wait();
  if (error) *error = outcome->error;
  return outcome->value;
}
