// Bending time: delay, timeout and the pauses of retry, all on the queue's
// deadlines, which follow ns::Clock.
#include <cmath>
#include <optional>

#include "Libraries/TelemetryFoundation/PRMPromise.h"

namespace {

using Ptr = PRMPromise::Ptr;

// Nanoseconds of an interval of seconds, or nothing when it never ends.
// Converting a NaN, negative or huge double to an integer is undefined, so
// each is settled first: NaN and negative are no wait; what does not fit
// a 64-bit count of nanoseconds is never.
std::optional<int64_t> intervalNanos(double seconds) {
  if (std::isnan(seconds) || seconds <= 0) return 0;
  double nanos = seconds * 1e9;
  if (nanos >= 9223372036854775808.0) return std::nullopt;  // 2^63
  return static_cast<int64_t>(nanos);
}

void afterInterval(const PRMPromise::QueuePtr& queue, double seconds, dispatch::Block block) {
  if (auto nanos = intervalNanos(seconds)) queue->after(*nanos, std::move(block));
}

void attempt(const PRMPromise::QueuePtr& queue, int64_t remaining, double delay,
             const PRMPromise::RetryCondition& condition, const PRMPromise::RetryWork& work, const Ptr& promise) {
  auto handle = [=](const PRMObject& result) {
    const ns::Error* error = result.error();
    if (!error) {
      promise->fulfill(result);
    } else if (remaining >= 1 && (!condition || condition(remaining, *error))) {
      afterInterval(queue, delay, [=] { attempt(queue, remaining - 1, delay, condition, work, promise); });
    } else {
      promise->reject(*error);
    }
  };
  PRMObject result = work();
  if (Ptr followed = result.promise()) {
    followed->observeOnQueue(queue, handle, [handle](const ns::Error& error) { handle(PRMObject(error)); });
  } else {
    handle(result);
  }
}

}  // namespace

PRMPromise::Ptr PRMPromise::delay(const QueuePtr& queue, double seconds) {
  Ptr promise = pendingPromise();
  observeOnQueue(
      queue,
      [queue, promise, seconds](const PRMObject& value) {
        afterInterval(queue, seconds, [promise, value] { promise->fulfill(value); });
      },
      [promise](const ns::Error& error) { promise->reject(error); });
  return promise;
}

PRMPromise::Ptr PRMPromise::delay(double seconds) { return delay(defaultDispatchQueue(), seconds); }

PRMPromise::Ptr PRMPromise::timeout(const QueuePtr& queue, double seconds) {
  Ptr promise = pendingPromise();
  observeOnQueue(
      queue, [promise](const PRMObject& value) { promise->fulfill(value); },
      [promise](const ns::Error& error) { promise->reject(error); });
  std::weak_ptr<PRMPromise> weak = promise;
  afterInterval(queue, seconds, [weak] {
    if (Ptr promise = weak.lock()) promise->reject(ns::Error(PRMPromiseErrorDomain, PRMPromiseErrorCodeTimedOut));
  });
  return promise;
}

PRMPromise::Ptr PRMPromise::timeout(double seconds) { return timeout(defaultDispatchQueue(), seconds); }

PRMPromise::Ptr PRMPromise::retry(const QueuePtr& queue, int64_t retries, double delay, RetryCondition condition,
                                  RetryWork work) {
  Ptr promise = pendingPromise();
  attempt(queue, retries, delay, condition, work, promise);
  return promise;
}

PRMPromise::Ptr PRMPromise::retry(int64_t retries, double delay, RetryCondition condition, RetryWork work) {
  return retry(defaultDispatchQueue(), retries, delay, std::move(condition), std::move(work));
}

PRMPromise::Ptr PRMPromise::retry(const QueuePtr& queue, int64_t retries, RetryWork work) {
  return retry(queue, retries, kDefaultRetryDelay, nullptr, std::move(work));
}

PRMPromise::Ptr PRMPromise::retry(int64_t retries, RetryWork work) {
  return retry(defaultDispatchQueue(), retries, std::move(work));
}

PRMPromise::Ptr PRMPromise::retry(const QueuePtr& queue, RetryWork work) {
  return retry(queue, kDefaultRetries, std::move(work));
}

PRMPromise::Ptr PRMPromise::retry(RetryWork work) { return retry(defaultDispatchQueue(), std::move(work)); }
