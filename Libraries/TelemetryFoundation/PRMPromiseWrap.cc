// Completion handlers as promises: each adapter is `async` on its queue,
// whose work hands the caller's work a handler of one shape.
#include "Libraries/TelemetryFoundation/PRMPromise.h"

namespace {

using Ptr = PRMPromise::Ptr;
using QueuePtr = PRMPromise::QueuePtr;
using Fulfill = PRMPromise::FulfillFunction;
using Reject = PRMPromise::RejectFunction;

// `makeHandler(fulfill, reject)` builds the handler given to `work`.
template <class Handler, class MakeHandler>
Ptr adapt(const QueuePtr& queue, PRMPromise::WrapWork<Handler> work, MakeHandler makeHandler) {
  return PRMPromise::async(queue, [work = std::move(work), makeHandler](Fulfill fulfill, Reject reject) {
    work(makeHandler(std::move(fulfill), std::move(reject)));
  });
}

// A handler with an error: the error when there is one, else the value.
void completeWith(const Fulfill& fulfill, const Reject& reject, std::optional<ns::Error> error, PRMObject value) {
  if (error) {
    reject(std::move(*error));
  } else {
    fulfill(std::move(value));
  }
}

PRMObject objectOrNull(PRMObject object) { return object.isNull() ? PRMObject(ns::Null{}) : std::move(object); }

template <class Handler>
PRMPromise::Wrapper<Handler> callable(Ptr (*adapter)(PRMPromise::WrapWork<Handler>)) {
  return [adapter](PRMPromise::WrapWork<Handler> work) { return adapter(std::move(work)); };
}

template <class Handler>
PRMPromise::WrapperOn<Handler> callableOn(Ptr (*adapter)(const QueuePtr&, PRMPromise::WrapWork<Handler>)) {
  return [adapter](QueuePtr queue, PRMPromise::WrapWork<Handler> work) { return adapter(queue, std::move(work)); };
}

}  // namespace

Ptr PRMPromise::wrapCompletion(const QueuePtr& queue, WrapWork<Completion> work) {
  return adapt<Completion>(queue, std::move(work), [](Fulfill fulfill, Reject) -> Completion {
    return [fulfill] { fulfill(nullptr); };
  });
}

Ptr PRMPromise::wrapObjectCompletion(const QueuePtr& queue, WrapWork<ObjectCompletion> work) {
  return adapt<ObjectCompletion>(queue, std::move(work), [](Fulfill fulfill, Reject) -> ObjectCompletion {
    return [fulfill](PRMObject object) { fulfill(std::move(object)); };
  });
}

Ptr PRMPromise::wrapErrorCompletion(const QueuePtr& queue, WrapWork<ErrorCompletion> work) {
  return adapt<ErrorCompletion>(queue, std::move(work), [](Fulfill fulfill, Reject reject) -> ErrorCompletion {
    return [fulfill, reject](std::optional<ns::Error> error) { completeWith(fulfill, reject, std::move(error), nullptr); };
  });
}

Ptr PRMPromise::wrapObjectOrErrorCompletion(const QueuePtr& queue, WrapWork<ObjectOrErrorCompletion> work) {
  return adapt<ObjectOrErrorCompletion>(
      queue, std::move(work), [](Fulfill fulfill, Reject reject) -> ObjectOrErrorCompletion {
        return [fulfill, reject](PRMObject object, std::optional<ns::Error> error) {
          completeWith(fulfill, reject, std::move(error), std::move(object));
        };
      });
}

Ptr PRMPromise::wrapErrorOrObjectCompletion(const QueuePtr& queue, WrapWork<ErrorOrObjectCompletion> work) {
  return adapt<ErrorOrObjectCompletion>(
      queue, std::move(work), [](Fulfill fulfill, Reject reject) -> ErrorOrObjectCompletion {
        return [fulfill, reject](std::optional<ns::Error> error, PRMObject object) {
          completeWith(fulfill, reject, std::move(error), std::move(object));
        };
      });
}

Ptr PRMPromise::wrap2ObjectsOrErrorCompletion(const QueuePtr& queue, WrapWork<TwoObjectsOrErrorCompletion> work) {
  return adapt<TwoObjectsOrErrorCompletion>(
      queue, std::move(work), [](Fulfill fulfill, Reject reject) -> TwoObjectsOrErrorCompletion {
        return [fulfill, reject](PRMObject first, PRMObject second, std::optional<ns::Error> error) {
          completeWith(fulfill, reject, std::move(error),
                 PRMObject::array({objectOrNull(std::move(first)), objectOrNull(std::move(second))}));
        };
      });
}

Ptr PRMPromise::wrapBoolCompletion(const QueuePtr& queue, WrapWork<BoolCompletion> work) {
  return adapt<BoolCompletion>(queue, std::move(work), [](Fulfill fulfill, Reject) -> BoolCompletion {
    return [fulfill](bool value) { fulfill(value); };
  });
}

Ptr PRMPromise::wrapBoolOrErrorCompletion(const QueuePtr& queue, WrapWork<BoolOrErrorCompletion> work) {
  return adapt<BoolOrErrorCompletion>(queue, std::move(work), [](Fulfill fulfill, Reject reject) -> BoolOrErrorCompletion {
    return [fulfill, reject](bool value, std::optional<ns::Error> error) {
      completeWith(fulfill, reject, std::move(error), value);
    };
  });
}

Ptr PRMPromise::wrapIntegerCompletion(const QueuePtr& queue, WrapWork<IntegerCompletion> work) {
  return adapt<IntegerCompletion>(queue, std::move(work), [](Fulfill fulfill, Reject) -> IntegerCompletion {
    return [fulfill](int64_t value) { fulfill(value); };
  });
}

Ptr PRMPromise::wrapIntegerOrErrorCompletion(const QueuePtr& queue, WrapWork<IntegerOrErrorCompletion> work) {
  return adapt<IntegerOrErrorCompletion>(
      queue, std::move(work), [](Fulfill fulfill, Reject reject) -> IntegerOrErrorCompletion {
        return [fulfill, reject](int64_t value, std::optional<ns::Error> error) {
          completeWith(fulfill, reject, std::move(error), value);
        };
      });
}

Ptr PRMPromise::wrapDoubleCompletion(const QueuePtr& queue, WrapWork<DoubleCompletion> work) {
  return adapt<DoubleCompletion>(queue, std::move(work), [](Fulfill fulfill, Reject) -> DoubleCompletion {
    return [fulfill](double value) { fulfill(value); };
  });
}

Ptr PRMPromise::wrapDoubleOrErrorCompletion(const QueuePtr& queue, WrapWork<DoubleOrErrorCompletion> work) {
  return adapt<DoubleOrErrorCompletion>(
      queue, std::move(work), [](Fulfill fulfill, Reject reject) -> DoubleOrErrorCompletion {
        return [fulfill, reject](double value, std::optional<ns::Error> error) {
          completeWith(fulfill, reject, std::move(error), value);
        };
      });
}

// ----- Without a queue: the default one, read at the call -----

Ptr PRMPromise::wrapCompletion(WrapWork<Completion> work) {
  return wrapCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrapObjectCompletion(WrapWork<ObjectCompletion> work) {
  return wrapObjectCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrapErrorCompletion(WrapWork<ErrorCompletion> work) {
  return wrapErrorCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrapObjectOrErrorCompletion(WrapWork<ObjectOrErrorCompletion> work) {
  return wrapObjectOrErrorCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrapErrorOrObjectCompletion(WrapWork<ErrorOrObjectCompletion> work) {
  return wrapErrorOrObjectCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrap2ObjectsOrErrorCompletion(WrapWork<TwoObjectsOrErrorCompletion> work) {
  return wrap2ObjectsOrErrorCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrapBoolCompletion(WrapWork<BoolCompletion> work) {
  return wrapBoolCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrapBoolOrErrorCompletion(WrapWork<BoolOrErrorCompletion> work) {
  return wrapBoolOrErrorCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrapIntegerCompletion(WrapWork<IntegerCompletion> work) {
  return wrapIntegerCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrapIntegerOrErrorCompletion(WrapWork<IntegerOrErrorCompletion> work) {
  return wrapIntegerOrErrorCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrapDoubleCompletion(WrapWork<DoubleCompletion> work) {
  return wrapDoubleCompletion(defaultDispatchQueue(), std::move(work));
}
Ptr PRMPromise::wrapDoubleOrErrorCompletion(WrapWork<DoubleOrErrorCompletion> work) {
  return wrapDoubleOrErrorCompletion(defaultDispatchQueue(), std::move(work));
}

// ----- As callables -----

PRMPromise::Wrapper<PRMPromise::Completion> PRMPromise::wrapCompletion() { return callable(&PRMPromise::wrapCompletion); }
PRMPromise::WrapperOn<PRMPromise::Completion> PRMPromise::wrapCompletionOn() {
  return callableOn(&PRMPromise::wrapCompletion);
}
PRMPromise::Wrapper<PRMPromise::ObjectCompletion> PRMPromise::wrapObjectCompletion() {
  return callable(&PRMPromise::wrapObjectCompletion);
}
PRMPromise::WrapperOn<PRMPromise::ObjectCompletion> PRMPromise::wrapObjectCompletionOn() {
  return callableOn(&PRMPromise::wrapObjectCompletion);
}
PRMPromise::Wrapper<PRMPromise::ErrorCompletion> PRMPromise::wrapErrorCompletion() {
  return callable(&PRMPromise::wrapErrorCompletion);
}
PRMPromise::WrapperOn<PRMPromise::ErrorCompletion> PRMPromise::wrapErrorCompletionOn() {
  return callableOn(&PRMPromise::wrapErrorCompletion);
}
PRMPromise::Wrapper<PRMPromise::ObjectOrErrorCompletion> PRMPromise::wrapObjectOrErrorCompletion() {
  return callable(&PRMPromise::wrapObjectOrErrorCompletion);
}
PRMPromise::WrapperOn<PRMPromise::ObjectOrErrorCompletion> PRMPromise::wrapObjectOrErrorCompletionOn() {
  return callableOn(&PRMPromise::wrapObjectOrErrorCompletion);
}
PRMPromise::Wrapper<PRMPromise::ErrorOrObjectCompletion> PRMPromise::wrapErrorOrObjectCompletion() {
  return callable(&PRMPromise::wrapErrorOrObjectCompletion);
}
PRMPromise::WrapperOn<PRMPromise::ErrorOrObjectCompletion> PRMPromise::wrapErrorOrObjectCompletionOn() {
  return callableOn(&PRMPromise::wrapErrorOrObjectCompletion);
}
PRMPromise::Wrapper<PRMPromise::TwoObjectsOrErrorCompletion> PRMPromise::wrap2ObjectsOrErrorCompletion() {
  return callable(&PRMPromise::wrap2ObjectsOrErrorCompletion);
}
PRMPromise::WrapperOn<PRMPromise::TwoObjectsOrErrorCompletion> PRMPromise::wrap2ObjectsOrErrorCompletionOn() {
  return callableOn(&PRMPromise::wrap2ObjectsOrErrorCompletion);
}
PRMPromise::Wrapper<PRMPromise::BoolCompletion> PRMPromise::wrapBoolCompletion() {
  return callable(&PRMPromise::wrapBoolCompletion);
}
PRMPromise::WrapperOn<PRMPromise::BoolCompletion> PRMPromise::wrapBoolCompletionOn() {
  return callableOn(&PRMPromise::wrapBoolCompletion);
}
PRMPromise::Wrapper<PRMPromise::BoolOrErrorCompletion> PRMPromise::wrapBoolOrErrorCompletion() {
  return callable(&PRMPromise::wrapBoolOrErrorCompletion);
}
PRMPromise::WrapperOn<PRMPromise::BoolOrErrorCompletion> PRMPromise::wrapBoolOrErrorCompletionOn() {
  return callableOn(&PRMPromise::wrapBoolOrErrorCompletion);
}
PRMPromise::Wrapper<PRMPromise::IntegerCompletion> PRMPromise::wrapIntegerCompletion() {
  return callable(&PRMPromise::wrapIntegerCompletion);
}
PRMPromise::WrapperOn<PRMPromise::IntegerCompletion> PRMPromise::wrapIntegerCompletionOn() {
  return callableOn(&PRMPromise::wrapIntegerCompletion);
}
PRMPromise::Wrapper<PRMPromise::IntegerOrErrorCompletion> PRMPromise::wrapIntegerOrErrorCompletion() {
  return callable(&PRMPromise::wrapIntegerOrErrorCompletion);
}
PRMPromise::WrapperOn<PRMPromise::IntegerOrErrorCompletion> PRMPromise::wrapIntegerOrErrorCompletionOn() {
  return callableOn(&PRMPromise::wrapIntegerOrErrorCompletion);
}
PRMPromise::Wrapper<PRMPromise::DoubleCompletion> PRMPromise::wrapDoubleCompletion() {
  return callable(&PRMPromise::wrapDoubleCompletion);
}
PRMPromise::WrapperOn<PRMPromise::DoubleCompletion> PRMPromise::wrapDoubleCompletionOn() {
  return callableOn(&PRMPromise::wrapDoubleCompletion);
}
PRMPromise::Wrapper<PRMPromise::DoubleOrErrorCompletion> PRMPromise::wrapDoubleOrErrorCompletion() {
  return callable(&PRMPromise::wrapDoubleOrErrorCompletion);
}
PRMPromise::WrapperOn<PRMPromise::DoubleOrErrorCompletion> PRMPromise::wrapDoubleOrErrorCompletionOn() {
  return callableOn(&PRMPromise::wrapDoubleOrErrorCompletion);
}
