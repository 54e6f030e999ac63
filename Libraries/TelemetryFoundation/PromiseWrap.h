// Completion handlers as typed promises: Promises::wrap(queue, work).
//
// `work` takes one completion handler, a std::function whose shape picks the
// result; the handler's first call settles the promise:
//
//   void()                                    Promise<void>
//   void(T)                                   Promise<T>; an ns::Error value rejects
//   void(T, std::optional<ns::Error>)         Promise<T>; a present error rejects
//   void(std::optional<ns::Error>, T)         Promise<T>; likewise
//   void(T, U, std::optional<ns::Error>)      Promise<std::tuple<T, U>>; likewise
//
// T may itself be a std::optional (a handler that may give no value).
//
//   auto loaded = Promises::wrap([&](std::function<void(std::string, std::optional<ns::Error>)> done) {
//     store.load(key, done);
//   });
#pragma once

#include <functional>
#include <optional>
#include <tuple>
#include <type_traits>

#include "Libraries/TelemetryFoundation/Promise.h"

namespace Promises {

namespace detail {

// The parameter type of a one-parameter callable.
template <class F>
struct OnlyParameter : OnlyParameter<decltype(&F::operator())> {};
template <class C, class R, class A>
struct OnlyParameter<R (C::*)(A) const> {
  using type = std::decay_t<A>;
};
template <class C, class R, class A>
struct OnlyParameter<R (C::*)(A)> {
  using type = std::decay_t<A>;
};
template <class R, class A>
struct OnlyParameter<R (*)(A)> {
  using type = std::decay_t<A>;
};

using OptionalError = std::optional<ns::Error>;

// For each handler shape: the promise's value type, and the handler made
// from the promise's typed fulfil and reject.
template <class Handler>
struct WrapShape;

template <>
struct WrapShape<std::function<void()>> {
  using Value = void;
  static std::function<void()> handler(Promise<void>::Fulfill fulfill, Promise<void>::Reject) {
    return [fulfill] { fulfill(); };
  }
};

template <class T>
struct WrapShape<std::function<void(T)>> {
  using Value = std::decay_t<T>;
  static std::function<void(T)> handler(typename Promise<Value>::Fulfill fulfill, typename Promise<Value>::Reject) {
    return [fulfill](T value) { fulfill(value); };
  }
};

template <class T>
struct WrapShape<std::function<void(T, OptionalError)>> {
  using Value = std::decay_t<T>;
  static std::function<void(T, OptionalError)> handler(typename Promise<Value>::Fulfill fulfill,
                                                       typename Promise<Value>::Reject reject) {
    return [fulfill, reject](T value, OptionalError error) { error ? reject(Error(*error)) : fulfill(value); };
  }
};

template <class T>
struct WrapShape<std::function<void(OptionalError, T)>> {
  using Value = std::decay_t<T>;
  static std::function<void(OptionalError, T)> handler(typename Promise<Value>::Fulfill fulfill,
                                                       typename Promise<Value>::Reject reject) {
    return [fulfill, reject](OptionalError error, T value) { error ? reject(Error(*error)) : fulfill(value); };
  }
};

template <class T, class U>
struct WrapShape<std::function<void(T, U, OptionalError)>> {
  using Value = std::tuple<std::decay_t<T>, std::decay_t<U>>;
  static std::function<void(T, U, OptionalError)> handler(typename Promise<Value>::Fulfill fulfill,
                                                          typename Promise<Value>::Reject reject) {
    return [fulfill, reject](T first, U second, OptionalError error) {
      error ? reject(Error(*error)) : fulfill(Value(first, second));
    };
  }
};

}  // namespace detail

template <class Work>
auto wrap(const QueuePtr& queue, Work work) {
  using Shape = detail::WrapShape<typename detail::OnlyParameter<Work>::type>;
  using Value = typename Shape::Value;
  return Promise<Value>::async(queue, [work = std::move(work)](auto fulfill, auto reject) {
    work(Shape::handler(std::move(fulfill), std::move(reject)));
  });
}
template <class Work>
auto wrap(Work work) {
  return wrap(defaultQueue(), std::move(work));
}

}  // namespace Promises
