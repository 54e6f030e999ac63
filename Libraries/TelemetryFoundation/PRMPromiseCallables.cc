// The operations as callables. Instance forms hold the receiver.
#include "Libraries/TelemetryFoundation/PRMPromise.h"

using Ptr = PRMPromise::Ptr;
using QueuePtr = PRMPromise::QueuePtr;

std::function<Ptr(PRMPromise::AsyncWork)> PRMPromise::async() {
  return [](AsyncWork work) { return async(std::move(work)); };
}

std::function<Ptr(QueuePtr, PRMPromise::AsyncWork)> PRMPromise::asyncOn() {
  return [](QueuePtr queue, AsyncWork work) { return async(queue, std::move(work)); };
}

std::function<Ptr(QueuePtr, PRMPromise::DoWork)> PRMPromise::doOn() {
  return [](QueuePtr queue, DoWork work) { return do_(queue, std::move(work)); };
}

std::function<Ptr(PRMPromise::ThenWork)> PRMPromise::then() {
  return [self = shared_from_this()](ThenWork work) { return self->then(std::move(work)); };
}

std::function<Ptr(QueuePtr, PRMPromise::ThenWork)> PRMPromise::thenOn() {
  return [self = shared_from_this()](QueuePtr queue, ThenWork work) { return self->then(queue, std::move(work)); };
}

std::function<Ptr(PRMPromise::CatchBlock)> PRMPromise::catch_() {
  return [self = shared_from_this()](CatchBlock block) { return self->catch_(std::move(block)); };
}

std::function<Ptr(QueuePtr, PRMPromise::CatchBlock)> PRMPromise::catchOn() {
  return [self = shared_from_this()](QueuePtr queue, CatchBlock block) { return self->catch_(queue, std::move(block)); };
}

std::function<Ptr(PRMPromise::RecoverBlock)> PRMPromise::recover() {
  return [self = shared_from_this()](RecoverBlock block) { return self->recover(std::move(block)); };
}

std::function<Ptr(QueuePtr, PRMPromise::RecoverBlock)> PRMPromise::recoverOn() {
  return [self = shared_from_this()](QueuePtr queue, RecoverBlock block) {
    return self->recover(queue, std::move(block));
  };
}

std::function<Ptr(PRMPromise::AlwaysWork)> PRMPromise::always() {
  return [self = shared_from_this()](AlwaysWork work) { return self->always(std::move(work)); };
}

std::function<Ptr(QueuePtr, PRMPromise::AlwaysWork)> PRMPromise::alwaysOn() {
  return [self = shared_from_this()](QueuePtr queue, AlwaysWork work) { return self->always(queue, std::move(work)); };
}

std::function<Ptr(PRMPromise::ValidatePredicate)> PRMPromise::validate() {
  return [self = shared_from_this()](ValidatePredicate predicate) { return self->validate(std::move(predicate)); };
}

std::function<Ptr(QueuePtr, PRMPromise::ValidatePredicate)> PRMPromise::validateOn() {
  return [self = shared_from_this()](QueuePtr queue, ValidatePredicate predicate) {
    return self->validate(queue, std::move(predicate));
  };
}

std::function<Ptr(PRMArray, PRMPromise::ReduceCombine)> PRMPromise::reduce() {
  return [self = shared_from_this()](PRMArray items, ReduceCombine combine) {
    return self->reduce(std::move(items), std::move(combine));
  };
}

std::function<Ptr(QueuePtr, PRMArray, PRMPromise::ReduceCombine)> PRMPromise::reduceOn() {
  return [self = shared_from_this()](QueuePtr queue, PRMArray items, ReduceCombine combine) {
    return self->reduce(queue, std::move(items), std::move(combine));
  };
}

std::function<Ptr(double)> PRMPromise::delay() {
  return [self = shared_from_this()](double seconds) { return self->delay(seconds); };
}

std::function<Ptr(QueuePtr, double)> PRMPromise::delayOn() {
  return [self = shared_from_this()](QueuePtr queue, double seconds) { return self->delay(queue, seconds); };
}

std::function<Ptr(double)> PRMPromise::timeout() {
  return [self = shared_from_this()](double seconds) { return self->timeout(seconds); };
}

std::function<Ptr(QueuePtr, double)> PRMPromise::timeoutOn() {
  return [self = shared_from_this()](QueuePtr queue, double seconds) { return self->timeout(queue, seconds); };
}

std::function<Ptr(PRMArray)> PRMPromise::all() {
  return [](PRMArray items) { return all(std::move(items)); };
}

std::function<Ptr(QueuePtr, PRMArray)> PRMPromise::allOn() {
  return [](QueuePtr queue, PRMArray items) { return all(queue, std::move(items)); };
}

std::function<Ptr(PRMArray)> PRMPromise::any() {
  return [](PRMArray items) { return any(std::move(items)); };
}

std::function<Ptr(QueuePtr, PRMArray)> PRMPromise::anyOn() {
  return [](QueuePtr queue, PRMArray items) { return any(queue, std::move(items)); };
}

std::function<Ptr(PRMArray)> PRMPromise::race() {
  return [](PRMArray items) { return race(std::move(items)); };
}

std::function<Ptr(QueuePtr, PRMArray)> PRMPromise::raceOn() {
  return [](QueuePtr queue, PRMArray items) { return race(queue, std::move(items)); };
}

std::function<Ptr(PRMPromise::RetryWork)> PRMPromise::retry() {
  return [](RetryWork work) { return retry(std::move(work)); };
}

std::function<Ptr(QueuePtr, PRMPromise::RetryWork)> PRMPromise::retryOn() {
  return [](QueuePtr queue, RetryWork work) { return retry(queue, std::move(work)); };
}

std::function<Ptr(int64_t, double, PRMPromise::RetryCondition, PRMPromise::RetryWork)> PRMPromise::retryAgain() {
  return [](int64_t retries, double delay, RetryCondition condition, RetryWork work) {
    return retry(retries, delay, std::move(condition), std::move(work));
  };
}

std::function<Ptr(QueuePtr, int64_t, double, PRMPromise::RetryCondition, PRMPromise::RetryWork)>
PRMPromise::retryAgainOn() {
  return [](QueuePtr queue, int64_t retries, double delay, RetryCondition condition, RetryWork work) {
    return retry(queue, retries, delay, std::move(condition), std::move(work));
  };
}
