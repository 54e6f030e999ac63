// Typed promises: Promises::Promise<Value> over one PRMPromise.
//
// A Promise<Value> is a handle: copies share one object promise
// (`objCPromise()`) and add nothing to its behaviour. Every operation
// converts typed arguments to objects (PromiseConversion.h), calls the
// matching PRMPromise operation, wraps the resulting object promise in a
// Promise of the result type, and converts objects back to typed values
// when a closure runs. A value of the wrong type inside the object promise
// is a programming error that stops the process, naming both types.
//
//   auto ready = Promises::Promise<int64_t>::pending();
//   ready.then([](int64_t n) { return std::to_string(n); })       // Promise<std::string>
//        .then([](const std::string& text) { show(text); });      // keeps the value
//   ready.fulfill(42);
//
// Closures report a failure by throwing a Promises::Error or a PromiseError
// (or by returning a promise that rejects); `catch_` and `recover` get the
// error as a Promises::Error. `then` takes a closure that returns a new
// value, a Promise of one, or nothing (the result keeps the old value).
// Promise<void> is the promise without a value: its closures take nothing.
//
// A promise returned by an operation on other promises is kept by each
// source until that source resolves, so a chain built and dropped at once
// still runs.
//
// Operations without a queue use Promises::defaultQueue(), read at the call:
// PRMPromise's default queue, the main queue until changed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "Libraries/TelemetryFoundation/PRMAssert.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Libraries/TelemetryFoundation/PromiseConversion.h"
#include "Libraries/TelemetryFoundation/PromiseError.h"
#include "Libraries/TelemetryFoundation/PromiseMaybe.h"

namespace Promises {

using QueuePtr = std::shared_ptr<dispatch::Queue>;

inline QueuePtr defaultQueue() { return PRMPromise::defaultDispatchQueue(); }
inline void setDefaultQueue(QueuePtr queue) { PRMPromise::setDefaultDispatchQueue(std::move(queue)); }

template <class Value>
class Promise;

namespace detail {

template <class T>
struct IsPromise : std::false_type {};
template <class T>
struct IsPromise<Promise<T>> : std::true_type {};

// The value type of a promise made from a closure's result R: R itself, a
// Promise's value type, or `Otherwise` when the closure returns nothing.
template <class R, class Otherwise>
struct ResultValue {
  using type = R;
};
template <class T, class Otherwise>
struct ResultValue<Promise<T>, Otherwise> {
  using type = T;
};
template <class Otherwise>
struct ResultValue<void, Otherwise> {
  using type = Otherwise;
};

// What a closure taking a promise's value returns (it takes nothing for void).
template <class Value, class F>
struct ValueResult {
  using type = std::decay_t<std::invoke_result_t<F&, const Value&>>;
};
template <class F>
struct ValueResult<void, F> {
  using type = std::decay_t<std::invoke_result_t<F&>>;
};

// A parameter of type Value, or a placeholder where there is none.
template <class Value>
using Arg = std::conditional_t<std::is_void_v<Value>, std::monostate, Value>;

template <class Value>
struct TypedFulfill {
  using type = std::function<void(const Value&)>;
};
template <>
struct TypedFulfill<void> {
  using type = std::function<void()>;
};

// Calls `f` and gives its result's object form: a Promise's object promise
// (to be followed), a thrown error as its ns::Error, nothing as null.
template <class F, class... Args>
PRMObject callBridged(F& f, Args&&... args) {
  using R = std::decay_t<std::invoke_result_t<F&, Args...>>;
  try {
    if constexpr (std::is_void_v<R>) {
      std::invoke(f, std::forward<Args>(args)...);
      return PRMObject();
    } else if constexpr (IsPromise<R>::value) {
      return PRMObject(std::invoke(f, std::forward<Args>(args)...).objCPromise());
    } else {
      return toObject<R>(std::invoke(f, std::forward<Args>(args)...));
    }
  } catch (const Error& error) {
    return PRMObject(error.nsError());
  } catch (PromiseError error) {
    return PRMObject(toNSError(error));
  }
}

// Calls `f` with the typed value of `object` (with nothing for void).
template <class Value, class F>
PRMObject callWithValue(F& f, const PRMObject& object) {
  if constexpr (std::is_void_v<Value>) {
    return callBridged(f);
  } else {
    return callBridged(f, fromObjectOrStop<Value>(object));
  }
}

// Each source keeps `result` until the source resolves.
template <class Result, class... Sources>
Result linked(Result result, const Sources&... sources) {
  (sources.objCPromise()->addPendingObject(result.objCPromise()), ...);
  return result;
}

}  // namespace detail

template <class Value>
class Promise {
 public:
  using ValueType = Value;
  using Fulfill = typename detail::TypedFulfill<Value>::type;
  using Reject = std::function<void(const Error& error)>;

  // Wrapping no object promise is a programming error that stops the process.
  explicit Promise(std::shared_ptr<PRMPromise> objCPromise) : objCPromise_(std::move(objCPromise)) {
    if (!objCPromise_) PRMAssertionFailure("Promises::Promise", "a promise needs an object promise");
  }
  // Rejected with `error`.
  explicit Promise(const Error& error) : Promise(PRMPromise::resolvedWith(error.nsError())) {}

  static Promise pending() { return Promise(PRMPromise::pendingPromise()); }
  // Runs `work` at once on the calling thread: resolved with what it returns
  // (a Promise returned is wrapped itself), rejected with what it throws.
  template <class Work>
  static Promise resolving(Work work) {
    PRMObject result = detail::callBridged(work);
    if (auto promise = result.promise()) return Promise(std::move(promise));
    return Promise(PRMPromise::resolvedWith(std::move(result)));
  }

  void fulfill(detail::Arg<Value> value) const
    requires(!std::is_void_v<Value>)
  {
    objCPromise_->fulfill(toObject<Value>(std::move(value)));
  }
  void fulfill() const
    requires std::is_void_v<Value>
  {
    objCPromise_->fulfill(nullptr);
  }
  void reject(const Error& error) const { objCPromise_->fulfill(PRMObject(error.nsError())); }

  // The value; absent when pending, rejected or fulfilled with null.
  std::optional<detail::Arg<Value>> value() const
    requires(!std::is_void_v<Value>)
  {
    PRMObject object = objCPromise_->value();
    if (object.isNull()) return std::nullopt;
    return fromObjectOrStop<Value>(object);
  }
  std::optional<Error> error() const {
    if (auto error = objCPromise_->error()) return Error(std::move(*error));
    return std::nullopt;
  }

  // "Fulfilled: <value>" ("nil" for null), "Rejected: <error>",
  // "Pending: <value type>".
  std::string description() const {
    if (objCPromise_->isFulfilled()) {
      PRMObject object = objCPromise_->value();
      return "Fulfilled: " + (object.isNull() ? std::string("nil") : object.description());
    }
    if (auto failure = error()) return "Rejected: " + failure->description();
    return "Pending: " + typeName<Value>();
  }

  const std::shared_ptr<PRMPromise>& objCPromise() const { return objCPromise_; }

  // `work(fulfill, reject)` runs on the queue; a throw rejects.
  template <class Work>
  static Promise async(const QueuePtr& queue, Work work) {
    return Promise(PRMPromise::async(queue, [work = std::move(work)](PRMPromise::FulfillFunction fulfill,
                                                                     PRMPromise::RejectFunction reject) {
      Fulfill typedFulfill;
      if constexpr (std::is_void_v<Value>) {
        typedFulfill = [fulfill] { fulfill(nullptr); };
      } else {
        typedFulfill = [fulfill](const Value& value) { fulfill(toObject<Value>(value)); };
      }
      Reject typedReject = [reject](const Error& error) { reject(error.nsError()); };
      try {
        work(typedFulfill, typedReject);
      } catch (const Error& error) {
        reject(error.nsError());
      } catch (PromiseError error) {
        reject(toNSError(error));
      }
    }));
  }
  template <class Work>
  static Promise async(Work work) {
    return async(defaultQueue(), std::move(work));
  }

  // `work()` runs on the queue and returns the value (or a Promise of it).
  template <class Work>
  static Promise do_(const QueuePtr& queue, Work work) {
    return Promise(PRMPromise::do_(queue, [work = std::move(work)] { return detail::callBridged(work); }));
  }
  template <class Work>
  static Promise do_(Work work) {
    return do_(defaultQueue(), std::move(work));
  }

  template <class Work>
  auto then(const QueuePtr& queue, Work work) const {
    using R = typename detail::ValueResult<Value, Work>::type;
    using Next = typename detail::ResultValue<R, Value>::type;
    auto next = objCPromise_->then(queue, [work = std::move(work)](const PRMObject& value) {
      PRMObject result = detail::callWithValue<Value>(work, value);
      if constexpr (std::is_void_v<R>) {
        if (!result.isError()) return value;
      }
      return result;
    });
    return detail::linked(Promise<Next>(std::move(next)), *this);
  }
  template <class Work>
  auto then(Work work) const {
    return then(defaultQueue(), std::move(work));
  }

  // `block(error)` sees a rejection, which passes on.
  template <class Block>
  Promise catch_(const QueuePtr& queue, Block block) const {
    return detail::linked(
        Promise(objCPromise_->catch_(queue, [block = std::move(block)](const ns::Error& error) { block(Error(error)); })),
        *this);
  }
  template <class Block>
  Promise catch_(Block block) const {
    return catch_(defaultQueue(), std::move(block));
  }

  // `block(error)` returns a value (or a Promise of one) in place of a rejection.
  template <class Block>
  Promise recover(const QueuePtr& queue, Block block) const {
    return detail::linked(Promise(objCPromise_->recover(queue, [block = std::move(block)](const ns::Error& error) {
                            return detail::callBridged(block, Error(error));
                          })),
                          *this);
  }
  template <class Block>
  Promise recover(Block block) const {
    return recover(defaultQueue(), std::move(block));
  }

  template <class Work>
  Promise always(const QueuePtr& queue, Work work) const {
    return detail::linked(Promise(objCPromise_->always(queue, [work = std::move(work)] { work(); })), *this);
  }
  template <class Work>
  Promise always(Work work) const {
    return always(defaultQueue(), std::move(work));
  }

  template <class Predicate>
  Promise validate(const QueuePtr& queue, Predicate predicate) const {
    return detail::linked(Promise(objCPromise_->validate(queue, [predicate = std::move(predicate)](const PRMObject& value) {
                            if constexpr (std::is_void_v<Value>) {
                              return bool(predicate());
                            } else {
                              return bool(predicate(fromObjectOrStop<Value>(value)));
                            }
                          })),
                          *this);
  }
  template <class Predicate>
  Promise validate(Predicate predicate) const {
    return validate(defaultQueue(), std::move(predicate));
  }

  Promise delay(const QueuePtr& queue, double seconds) const {
    return detail::linked(Promise(objCPromise_->delay(queue, seconds)), *this);
  }
  Promise delay(double seconds) const { return delay(defaultQueue(), seconds); }

  Promise timeout(const QueuePtr& queue, double seconds) const {
    return detail::linked(Promise(objCPromise_->timeout(queue, seconds)), *this);
  }
  Promise timeout(double seconds) const { return timeout(defaultQueue(), seconds); }

 private:
  std::shared_ptr<PRMPromise> objCPromise_;
};

// ----- Several promises -----

namespace detail {

template <class Value>
PRMArray objectsOf(const std::vector<Promise<Value>>& promises) {
  PRMArray items;
  items.reserve(promises.size());
  for (const auto& promise : promises) items.emplace_back(promise.objCPromise());
  return items;
}

template <class Result, class Value>
Result linkedToAll(Result result, const std::vector<Promise<Value>>& sources) {
  for (const auto& source : sources) linked(result, source);
  return result;
}

}  // namespace detail

// Every value in input order once all are fulfilled; the first rejection.
template <class Value>
Promise<std::vector<Value>> all(const QueuePtr& queue, const std::vector<Promise<Value>>& promises) {
  return detail::linkedToAll(Promise<std::vector<Value>>(PRMPromise::all(queue, detail::objectsOf(promises))),
                             promises);
}
template <class Value>
Promise<std::vector<Value>> all(const std::vector<Promise<Value>>& promises) {
  return all(defaultQueue(), promises);
}
// Two to four promises of different types: a promise of the tuple.
template <class A, class B, class... More>
  requires(sizeof...(More) <= 2)
Promise<std::tuple<A, B, More...>> all(const QueuePtr& queue, const Promise<A>& a, const Promise<B>& b,
                                      const Promise<More>&... more) {
  PRMArray items{a.objCPromise(), b.objCPromise(), more.objCPromise()...};
  return detail::linked(Promise<std::tuple<A, B, More...>>(PRMPromise::all(queue, std::move(items))), a, b, more...);
}
template <class A, class B, class... More>
  requires(sizeof...(More) <= 2)
Promise<std::tuple<A, B, More...>> all(const Promise<A>& a, const Promise<B>& b, const Promise<More>&... more) {
  return all(defaultQueue(), a, b, more...);
}

// Once every input is resolved: each one's value or error, in input
// order, when at least one was fulfilled; otherwise the rejection.
template <class Value>
Promise<std::vector<Maybe<Value>>> any(const QueuePtr& queue, const std::vector<Promise<Value>>& promises) {
  return detail::linkedToAll(
      Promise<std::vector<Maybe<Value>>>(PRMPromise::any(queue, detail::objectsOf(promises))), promises);
}
template <class Value>
Promise<std::vector<Maybe<Value>>> any(const std::vector<Promise<Value>>& promises) {
  return any(defaultQueue(), promises);
}
// Two or three promises of different types: a promise of a tuple of Maybes.
template <class A, class B, class... More>
  requires(sizeof...(More) <= 1)
Promise<std::tuple<Maybe<A>, Maybe<B>, Maybe<More>...>> any(const QueuePtr& queue, const Promise<A>& a,
                                                            const Promise<B>& b, const Promise<More>&... more) {
  PRMArray items{a.objCPromise(), b.objCPromise(), more.objCPromise()...};
  return detail::linked(
      Promise<std::tuple<Maybe<A>, Maybe<B>, Maybe<More>...>>(PRMPromise::any(queue, std::move(items))), a, b,
      more...);
}
template <class A, class B, class... More>
  requires(sizeof...(More) <= 1)
Promise<std::tuple<Maybe<A>, Maybe<B>, Maybe<More>...>> any(const Promise<A>& a, const Promise<B>& b,
                                                            const Promise<More>&... more) {
  return any(defaultQueue(), a, b, more...);
}

// The first outcome. An empty vector is a programming error (throws).
template <class Value>
Promise<Value> race(const QueuePtr& queue, const std::vector<Promise<Value>>& promises) {
  return detail::linkedToAll(Promise<Value>(PRMPromise::race(queue, detail::objectsOf(promises))), promises);
}
template <class Value>
Promise<Value> race(const std::vector<Promise<Value>>& promises) {
  return race(defaultQueue(), promises);
}

// ----- Retrying -----

// Asked after a failed attempt with the retries left (n down to 1).
using RetryCondition = std::function<bool(int64_t remaining, const Error& error)>;

// Runs `work` (returning a Promise of the value, or the value) now on the
// calling thread, then again on the queue after `delay` seconds while it
// fails, at most `attempts` more times and while `condition` agrees.
template <class Work>
auto retry(const QueuePtr& queue, int64_t attempts, double delay, RetryCondition condition, Work work) {
  using R = std::decay_t<std::invoke_result_t<Work&>>;
  using Value = typename detail::ResultValue<R, void>::type;
  PRMPromise::RetryCondition objectCondition;
  if (condition) {
    objectCondition = [condition = std::move(condition)](int64_t remaining, const ns::Error& error) {
      return condition(remaining, Error(error));
    };
  }
  return Promise<Value>(PRMPromise::retry(queue, attempts, delay, std::move(objectCondition),
                                          [work = std::move(work)] { return detail::callBridged(work); }));
}
template <class Work>
auto retry(int64_t attempts, double delay, RetryCondition condition, Work work) {
  return retry(defaultQueue(), attempts, delay, std::move(condition), std::move(work));
}
template <class Work>
auto retry(const QueuePtr& queue, Work work) {
  return retry(queue, PRMPromise::kDefaultRetries, PRMPromise::kDefaultRetryDelay, nullptr, std::move(work));
}
template <class Work>
auto retry(Work work) {
  return retry(defaultQueue(), std::move(work));
}

// ----- Waiting -----

// Blocks until `promise` resolves; returns its value, or throws its error as
// it came: a PromiseError for the library's own two, else a Promises::Error.
template <class Value>
Value await(const Promise<Value>& promise) {
  std::optional<ns::Error> error;
  PRMObject value = PRMPromiseAwait(promise.objCPromise(), &error);
  if (error) {
    if (auto typed = promiseErrorFrom(*error)) throw *typed;
    throw Error(std::move(*error));
  }
  if constexpr (!std::is_void_v<Value>) return fromObjectOrStop<Value>(value);
}

}  // namespace Promises
