#include <gtest/gtest.h>

#include <thread>

#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Libraries/TelemetryFoundation/tests/PromiseTestSupport.h"
#include "Platform/Dispatch/Semaphore.h"

namespace prm::testing {
namespace {

using Ptr = PRMPromise::Ptr;
using Kind = ns::Value::NumberKind;

PRMObject outcome(const Ptr& promise) {
  EXPECT_TRUE(settle(promise)) << "still pending";
  if (auto error = promise->error()) return *error;
  return promise->value();
}

TEST_F(PromiseTest, EachHandlerShapeResolvesItsPromise) {
  const auto none = std::nullopt;
  struct Case {
    const char* name;
    std::function<Ptr()> wrap;
    PRMObject outcome;
    Kind kind = Kind::None;  // what a number result remembers
  };
  const Case cases[] = {
      {"nothing", [] { return PRMPromise::wrapCompletion([](auto done) { done(); }); }, {}},
      {"object", [] { return PRMPromise::wrapObjectCompletion([](auto done) { done("x"); }); }, "x"},
      {"object: an error object rejects",
       [] { return PRMPromise::wrapObjectCompletion([](auto done) { done(testError(1)); }); }, testError(1)},
      {"object: a promise is followed",
       [] { return PRMPromise::wrapObjectCompletion([](auto done) { done(PRMPromise::resolvedWith(3)); }); }, 3},
      {"error: none", [=] { return PRMPromise::wrapErrorCompletion([=](auto done) { done(none); }); }, {}},
      {"error: one", [] { return PRMPromise::wrapErrorCompletion([](auto done) { done(testError(2)); }); },
       testError(2)},
      {"object or error: the object",
       [=] { return PRMPromise::wrapObjectOrErrorCompletion([=](auto done) { done("v", none); }); }, "v"},
      {"object or error: both, the error wins",
       [] { return PRMPromise::wrapObjectOrErrorCompletion([](auto done) { done("v", testError(3)); }); },
       testError(3)},
      {"error or object: the object",
       [=] { return PRMPromise::wrapErrorOrObjectCompletion([=](auto done) { done(none, "w"); }); }, "w"},
      {"error or object: the error",
       [] { return PRMPromise::wrapErrorOrObjectCompletion([](auto done) { done(testError(4), "w"); }); },
       testError(4)},
      {"two objects: null is the null object",
       [=] { return PRMPromise::wrap2ObjectsOrErrorCompletion([=](auto done) { done(nullptr, "s", none); }); },
       array({ns::Null{}, "s"})},
      {"two objects: the error",
       [] { return PRMPromise::wrap2ObjectsOrErrorCompletion([](auto done) { done("a", "b", testError(5)); }); },
       testError(5)},
      {"bool: false fulfils", [] { return PRMPromise::wrapBoolCompletion([](auto done) { done(false); }); }, false,
       Kind::Bool},
      {"bool or error: the bool",
       [=] { return PRMPromise::wrapBoolOrErrorCompletion([=](auto done) { done(true, none); }); }, true,
       Kind::Bool},
      {"bool or error: the error",
       [] { return PRMPromise::wrapBoolOrErrorCompletion([](auto done) { done(true, testError(6)); }); },
       testError(6)},
      {"integer", [] { return PRMPromise::wrapIntegerCompletion([](auto done) { done(-7); }); }, -7, Kind::Int},
      {"integer or error: the integer",
       [=] { return PRMPromise::wrapIntegerOrErrorCompletion([=](auto done) { done(0, none); }); }, 0, Kind::Int},
      {"integer or error: the error",
       [] { return PRMPromise::wrapIntegerOrErrorCompletion([](auto done) { done(1, testError(7)); }); },
       testError(7)},
      {"double", [] { return PRMPromise::wrapDoubleCompletion([](auto done) { done(2.5); }); }, 2.5, Kind::Double},
      {"double or error: the double",
       [=] { return PRMPromise::wrapDoubleOrErrorCompletion([=](auto done) { done(1.0, none); }); }, 1.0,
       Kind::Double},
      {"double or error: the error",
       [] { return PRMPromise::wrapDoubleOrErrorCompletion([](auto done) { done(1.0, testError(8)); }); },
       testError(8)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto promise = c.wrap();
    EXPECT_TRUE(promise->isPending()) << "the work runs later, on the queue";
    PRMObject result = outcome(promise);
    EXPECT_EQ(result, c.outcome);
    if (c.kind != Kind::None) {
      ASSERT_TRUE(result.value());
      EXPECT_EQ(result.value()->numberKind(), c.kind);
    }
  }
}

TEST_F(PromiseTest, OnlyTheFirstCallOfAHandlerCounts) {
  auto queue = dispatch::Queue::serial("test.promise.wrap");
  PRMPromise::ObjectOrErrorCompletion saved;
  dispatch::Semaphore workRan;
  auto promise = PRMPromise::wrapObjectOrErrorCompletionOn()(queue, [&](auto done) {
    saved = done;
    workRan.signal();
  });
  ASSERT_TRUE(workRan.waitFor(5 * dispatch::kNanosPerSecond));
  std::thread caller([&] {
    saved(1, std::nullopt);
    saved(2, std::nullopt);
    saved(nullptr, testError(1));
  });
  caller.join();
  EXPECT_EQ(PRMPromiseAwait(promise), PRMObject(1));
}

TEST_F(PromiseTest, AWorkThatNeverCallsItsHandlerLeavesThePromisePending) {
  PRMPromise::Completion kept;
  auto promise = PRMPromise::wrapCompletion([&](auto done) { kept = done; });
  dispatch::RunLoop::main().drain();
  ASSERT_TRUE(kept);
  EXPECT_TRUE(promise->isPending());
  EXPECT_FALSE(groupIsEmpty());
  // Nobody can resolve it once the handler and the promise are gone.
  kept = nullptr;
  promise.reset();
  EXPECT_TRUE(groupIsEmpty());
}

}  // namespace
}  // namespace prm::testing
