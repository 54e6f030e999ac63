#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "Libraries/TelemetryFoundation/Promise.h"
#include "Libraries/TelemetryFoundation/PromiseWrap.h"
#include "Libraries/TelemetryFoundation/tests/PromiseTestSupport.h"

namespace prm::testing {
namespace {

using Promises::Error;
using Promises::Maybe;
using Promises::Promise;
using Promises::PromiseError;

// Pumps the main queue until the promise is resolved.
template <class T>
bool settled(const Promise<T>& promise) {
  return settle(promise.objCPromise());
}

TEST_F(PromiseTest, TypedValuesGoInAndComeBack) {
  auto number = Promise<int64_t>::pending();
  EXPECT_EQ(number.value(), std::nullopt);
  number.fulfill(5);
  EXPECT_EQ(number.value(), 5);
  EXPECT_EQ(number.objCPromise()->value(), PRMObject(5));

  // An absent optional is null underneath, and absent again on the way out.
  auto maybe = Promise<std::optional<std::string>>::pending();
  maybe.fulfill(std::nullopt);
  EXPECT_TRUE(maybe.objCPromise()->isFulfilled());
  EXPECT_TRUE(maybe.objCPromise()->value().isNull());
  EXPECT_FALSE(maybe.value().has_value());

  struct Point {
    int x, y;
  };
  auto point = Promise<Point>::resolving([] { return Point{1, 2}; });
  EXPECT_EQ(point.value()->y, 2);

  auto nothing = Promise<void>::pending();
  nothing.fulfill();
  EXPECT_TRUE(nothing.objCPromise()->isFulfilled());
}

TEST_F(PromiseTest, TheLibrarysOwnErrorsComeBackTyped) {
  auto timedOut = Promise<int64_t>::pending();
  timedOut.reject(PromiseError::timedOut);
  auto underneath = timedOut.objCPromise()->error();
  ASSERT_TRUE(underneath);
  EXPECT_EQ(underneath->domain(), "com.zorori.PRMPromises.Error");
  EXPECT_EQ(underneath->code(), 1);
  EXPECT_TRUE(underneath->userInfo().empty());
  EXPECT_EQ(timedOut.error()->promiseError(), PromiseError::timedOut);

  EXPECT_EQ(Error(PromiseError::validationFailure).nsError().code(), 2);
  EXPECT_EQ(sizeof(PromiseError), 1u);

  ns::Error foreign("com.example", 1, {{"why", "because"}});
  auto rejected = Promise<int64_t>(PRMPromise::resolvedWith(foreign));
  EXPECT_EQ(rejected.error()->nsError(), foreign);
  EXPECT_EQ(rejected.error()->promiseError(), std::nullopt);
  // The same code in another domain is not the library's.
  EXPECT_EQ(Error(ns::Error("other", 1)).promiseError(), std::nullopt);
}

TEST_F(PromiseTest, ClosuresChangeTheValueTypeAndReportFailuresByThrowing) {
  auto source = Promise<int64_t>::pending();
  std::vector<std::string> seen;
  auto text = source.then([](int64_t n) { return std::to_string(n * 2); });
  auto kept = text.then([&](const std::string& s) { seen.push_back(s); });
  auto followed = source.then([](int64_t n) { return Promise<double>::resolving([n] { return n / 4.0; }); });
  auto thrown = source.then([](int64_t) -> int64_t { throw Error(ns::Error("test", 9)); });
  auto invalid = source.validate([](int64_t n) { return n < 0; });
  auto recovered = thrown.recover([](const Error& e) { return e.nsError().code() * 100; });
  source.fulfill(21);
  ASSERT_TRUE(settled(recovered) && settled(kept) && settled(followed) && settled(invalid));
  EXPECT_EQ(kept.value(), "42") << "a closure returning nothing keeps the value";
  EXPECT_EQ(seen, std::vector<std::string>{"42"});
  EXPECT_EQ(followed.value(), 5.25);
  EXPECT_EQ(thrown.error()->nsError(), ns::Error("test", 9));
  EXPECT_EQ(recovered.value(), 900);
  EXPECT_EQ(invalid.error()->promiseError(), PromiseError::validationFailure);

  std::string caught;
  auto failing = Promise<void>::async([](auto, auto reject) { reject(PromiseError::timedOut); });
  auto afterCatch = failing.catch_([&](const Error& e) { caught = e.description(); });
  ASSERT_TRUE(settled(afterCatch));
  EXPECT_EQ(caught, "timedOut");
  EXPECT_EQ(afterCatch.error()->promiseError(), PromiseError::timedOut);
}

TEST_F(PromiseTest, AChainDroppedAtOnceStillRunsItsClosure) {
  auto source = Promise<int64_t>::pending();
  bool ran = false;
  std::weak_ptr<PRMPromise> chained;
  {
    auto dropped = source.then([&](int64_t n) {
      ran = true;
      return n;
    });
    chained = dropped.objCPromise();
  }
  // The caller holds nothing now; the source keeps the chain while pending.
  EXPECT_FALSE(chained.expired());
  source.fulfill(1);
  dispatch::RunLoop::main().drain();
  EXPECT_TRUE(ran);
  EXPECT_TRUE(chained.expired()) << "released once the source resolved and the closure ran";
}

TEST_F(PromiseTest, AllAndAnyOverTypedPromises) {
  auto a = Promise<int64_t>::pending();
  auto b = Promise<int64_t>::pending();
  auto both = Promises::all(std::vector{a, b});
  b.fulfill(2);
  dispatch::RunLoop::main().drain();
  EXPECT_TRUE(both.objCPromise()->isPending());
  a.fulfill(1);
  ASSERT_TRUE(settled(both));
  EXPECT_EQ(both.value(), (std::vector<int64_t>{1, 2}));

  auto name = Promise<std::string>::resolving([] { return std::string("n"); });
  auto flag = Promise<bool>::resolving([] { return true; });
  auto missing = Promise<std::optional<double>>::resolving([] { return std::optional<double>(); });
  auto mixed = Promises::all(a, name, flag, missing);
  ASSERT_TRUE(settled(mixed));
  EXPECT_EQ(mixed.value(), std::make_tuple(int64_t(1), std::string("n"), true, std::optional<double>()));

  auto failed = Promise<std::string>(Error(PromiseError::timedOut));
  auto outcomes = Promises::any(a, failed);
  ASSERT_TRUE(settled(outcomes));
  EXPECT_EQ(outcomes.value(), std::make_tuple(Maybe<int64_t>(1), Maybe<std::string>(Error(PromiseError::timedOut))));

  auto first = Promises::race(std::vector{Promise<int64_t>::pending(), b});
  ASSERT_TRUE(settled(first));
  EXPECT_EQ(first.value(), 2);
}

TEST(MaybeTest, EqualityFollowsTheCases) {
  const ns::Error e1("test", 1), e1again("test", 1), e2("test", 2);
  struct Case {
    Maybe<int64_t> left, right;
    bool equal;
  };
  const Case cases[] = {
      {Maybe<int64_t>(1), Maybe<int64_t>(1), true},
      {Maybe<int64_t>(1), Maybe<int64_t>(2), false},
      {Maybe<int64_t>(Error(e1)), Maybe<int64_t>(Error(e1again)), true},
      {Maybe<int64_t>(Error(e1)), Maybe<int64_t>(Error(e2)), false},
      {Maybe<int64_t>(1), Maybe<int64_t>(Error(e1)), false},
      {Maybe<int64_t>(Error(PromiseError::timedOut)), Maybe<int64_t>(Error(toNSError(PromiseError::timedOut))), true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.left == c.right, c.equal);
  EXPECT_EQ(Maybe<int64_t>(3).value(), 3);
  EXPECT_EQ(Maybe<int64_t>(3).error(), std::nullopt);
  EXPECT_EQ(Maybe<int64_t>(Error(e2)).object(), PRMObject(e2));
}

TEST_F(PromiseTest, AwaitReturnsTheValueOrThrowsTheErrorAsItCame) {
  auto fulfilled = Promise<std::string>::pending();
  std::thread resolver([fulfilled] { fulfilled.fulfill("ok"); });
  EXPECT_EQ(Promises::await(fulfilled), "ok");
  resolver.join();

  EXPECT_THROW(Promises::await(Promise<int64_t>(Error(PromiseError::validationFailure))), PromiseError);
  try {
    Promises::await(Promise<void>(Error(ns::Error("test", 3))));
    ADD_FAILURE() << "did not throw";
  } catch (const Error& e) {
    EXPECT_EQ(e.nsError(), ns::Error("test", 3));
  }
}

TEST_F(VirtualClockPromiseTest, TypedRetryGivesTheConditionTypedErrors) {
  int runs = 0;
  std::vector<std::string> seen;
  auto promise = Promises::retry(
      2, 0.5,
      [&](int64_t remaining, const Error& e) {
        seen.push_back(std::to_string(remaining) + " " + e.description());
        return true;
      },
      [&] {
        return ++runs < 3 ? Promise<int64_t>(Error(PromiseError::timedOut)) : Promise<int64_t>::resolving([] { return 7; });
      });
  dispatch::RunLoop::main().drain();  // the first failure is seen on the queue
  EXPECT_EQ(runs, 1);
  advance(0.5);
  EXPECT_EQ(runs, 2);
  advance(0.5);
  ASSERT_TRUE(settled(promise));
  EXPECT_EQ(promise.value(), 7);
  EXPECT_EQ(seen, (std::vector<std::string>{"2 timedOut", "1 timedOut"}));
}

TEST_F(PromiseTest, WrapPicksTheResultFromTheHandlerShape) {
  using Done = std::function<void(int64_t, std::optional<ns::Error>)>;
  auto number = Promises::wrap([](Done done) { done(4, std::nullopt); });
  auto failed = Promises::wrap([](Done done) { done(4, ns::Error("test", 1)); });
  auto reversed = Promises::wrap(
      [](std::function<void(std::optional<ns::Error>, std::optional<std::string>)> done) { done(std::nullopt, std::nullopt); });
  auto pair = Promises::wrap([](std::function<void(std::string, bool, std::optional<ns::Error>)> done) {
    done("a", false, std::nullopt);
  });
  auto errorValue = Promises::wrap([](std::function<void(ns::Error)> done) { done(ns::Error("test", 2)); });
  auto nothing = Promises::wrap([](std::function<void()> done) { done(); });
  static_assert(std::is_same_v<decltype(number), Promise<int64_t>>);
  static_assert(std::is_same_v<decltype(reversed), Promise<std::optional<std::string>>>);
  static_assert(std::is_same_v<decltype(pair), Promise<std::tuple<std::string, bool>>>);
  static_assert(std::is_same_v<decltype(nothing), Promise<void>>);
  for (const auto& p : {number.objCPromise(), failed.objCPromise(), reversed.objCPromise(), pair.objCPromise(),
                        errorValue.objCPromise(), nothing.objCPromise()}) {
    ASSERT_TRUE(settle(p));
  }
  EXPECT_EQ(number.value(), 4);
  EXPECT_EQ(failed.error()->nsError(), ns::Error("test", 1));
  EXPECT_TRUE(reversed.objCPromise()->isFulfilled());
  EXPECT_FALSE(reversed.value().has_value());
  EXPECT_EQ(pair.value(), std::make_tuple(std::string("a"), false));
  EXPECT_EQ(errorValue.error()->nsError(), ns::Error("test", 2)) << "an error value rejects";
  EXPECT_TRUE(nothing.objCPromise()->isFulfilled());
}

TEST_F(PromiseTest, DescriptionsNameTheOutcomeOrTheValueType) {
  EXPECT_EQ(Promise<int64_t>::pending().description(), "Pending: Int");
  EXPECT_EQ(Promise<std::string>::pending().description(), "Pending: String");
  struct Point {};
  EXPECT_EQ(Promise<Point>::pending().description(), "Pending: Point");
  EXPECT_EQ(Promise<std::vector<ns::Value>>::pending().description().rfind("Pending: vector<ns::Value", 0), 0u);
  EXPECT_EQ(Promise<int64_t>::resolving([] { return 42; }).description(), "Fulfilled: 42");
  EXPECT_EQ(Promise<std::optional<int64_t>>::resolving([] { return std::optional<int64_t>(); }).description(),
            "Fulfilled: nil");
  EXPECT_EQ(Promise<int64_t>(Error(PromiseError::timedOut)).description(), "Rejected: timedOut");
  EXPECT_EQ(Promise<int64_t>(Error(ns::Error("test", 3))).description(),
            "Rejected: " + ns::Error("test", 3).description());
}

TEST(TypedPromiseDeathTest, AValueOfAnotherTypeStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(Promise<int64_t>(PRMPromise::resolvedWith("text")).value(), "promise of Int holds a value of type String");
  EXPECT_DEATH(Promise<int64_t>(nullptr), "Promises::Promise");
}

}  // namespace
}  // namespace prm::testing
