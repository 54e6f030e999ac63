// Transforming one result: then, catch, recover, always, validate, reduce.
// Each is one chain on the receiver.
#include "Libraries/TelemetryFoundation/PRMPromise.h"

PRMPromise::Ptr PRMPromise::then(const QueuePtr& queue, ThenWork work) {
  return chainOnQueue(queue, std::move(work), nullptr);
}

PRMPromise::Ptr PRMPromise::then(ThenWork work) { return then(defaultDispatchQueue(), std::move(work)); }

PRMPromise::Ptr PRMPromise::catch_(const QueuePtr& queue, CatchBlock block) {
  return chainOnQueue(queue, nullptr, [block = std::move(block)](const ns::Error& error) {
    block(error);
    return PRMObject(error);
  });
}

PRMPromise::Ptr PRMPromise::catch_(CatchBlock block) { return catch_(defaultDispatchQueue(), std::move(block)); }

PRMPromise::Ptr PRMPromise::recover(const QueuePtr& queue, RecoverBlock block) {
  return chainOnQueue(queue, nullptr, std::move(block));
}

PRMPromise::Ptr PRMPromise::recover(RecoverBlock block) { return recover(defaultDispatchQueue(), std::move(block)); }

PRMPromise::Ptr PRMPromise::always(const QueuePtr& queue, AlwaysWork work) {
  return chainOnQueue(
      queue,
      [work](const PRMObject& value) {
        work();
        return value;
      },
      [work](const ns::Error& error) {
        work();
        return PRMObject(error);
      });
}

PRMPromise::Ptr PRMPromise::always(AlwaysWork work) { return always(defaultDispatchQueue(), std::move(work)); }

PRMPromise::Ptr PRMPromise::validate(const QueuePtr& queue, ValidatePredicate predicate) {
  return chainOnQueue(
      queue,
      [predicate = std::move(predicate)](const PRMObject& value) {
        if (predicate(value)) return value;
        return PRMObject(ns::Error(PRMPromiseErrorDomain, PRMPromiseErrorCodeValidationFailure));
      },
      nullptr);
}

PRMPromise::Ptr PRMPromise::validate(ValidatePredicate predicate) {
  return validate(defaultDispatchQueue(), std::move(predicate));
}

PRMPromise::Ptr PRMPromise::reduce(const QueuePtr& queue, PRMArray items, ReduceCombine combine) {
  Ptr promise = shared_from_this();
  for (auto& item : items) {
    promise = promise->chainOnQueue(
        queue, [combine, item = std::move(item)](const PRMObject& partial) { return combine(partial, item); }, nullptr);
  }
  return promise;
}

PRMPromise::Ptr PRMPromise::reduce(PRMArray items, ReduceCombine combine) {
  return reduce(defaultDispatchQueue(), std::move(items), std::move(combine));
}
