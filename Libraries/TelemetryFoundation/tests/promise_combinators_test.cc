#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Libraries/TelemetryFoundation/tests/PromiseTestSupport.h"
#include "Platform/Dispatch/Semaphore.h"

namespace prm::testing {
namespace {

using Ptr = PRMPromise::Ptr;

const ns::Error kTimedOut(PRMPromiseErrorDomain, PRMPromiseErrorCodeTimedOut);
const ns::Error kValidationFailed(PRMPromiseErrorDomain, PRMPromiseErrorCodeValidationFailure);

// The outcome of a settled promise: its value, or its error as a PRMObject.
PRMObject outcome(const Ptr& promise) {
  EXPECT_TRUE(settle(promise)) << "still pending";
  if (auto error = promise->error()) return *error;
  return promise->value();
}

TEST_F(PromiseTest, AsyncCountsOnlyTheFirstCallOfItsFunctions) {
  auto pendingInner = PRMPromise::pendingPromise();
  struct Case {
    const char* name;
    std::function<void(PRMPromise::FulfillFunction, PRMPromise::RejectFunction)> calls;
    PRMObject outcome;
  };
  const Case cases[] = {
      {"fulfil, then reject", [](auto fulfill, auto reject) { fulfill(1), reject(testError(1)); }, 1},
      {"reject, then fulfil", [](auto fulfill, auto reject) { reject(testError(1)), fulfill(1); }, testError(1)},
      {"an error given to fulfil rejects", [](auto fulfill, auto) { fulfill(testError(2)); }, testError(2)},
      {"a promise given to fulfil is followed, later calls ignored",
       [&](auto fulfill, auto reject) {
         fulfill(pendingInner), fulfill(2), reject(testError(1));
         pendingInner->fulfill(3);
       },
       3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto promise = PRMPromise::async(c.calls);
    EXPECT_TRUE(promise->isPending()) << "the work runs later, on the queue";
    EXPECT_EQ(outcome(promise), c.outcome);
  }

  // From another thread, later.
  PRMPromise::FulfillFunction saved;
  dispatch::Semaphore workRan;
  auto later = PRMPromise::async(dispatch::Queue::global(), [&](auto fulfill, auto) {
    saved = fulfill;
    workRan.signal();
  });
  ASSERT_TRUE(workRan.waitFor(5 * dispatch::kNanosPerSecond));
  EXPECT_TRUE(later->isPending());
  std::thread([saved] { saved("late"); }).join();
  EXPECT_EQ(outcome(later), PRMObject("late"));
}

TEST_F(PromiseTest, DoResolvesWithWhatItsWorkReturns) {
  EXPECT_EQ(outcome(PRMPromise::do_(dispatch::Queue::main(), [] { return PRMObject(4); })), PRMObject(4));
  EXPECT_EQ(outcome(PRMPromise::doOn()(dispatch::Queue::main(), [] { return PRMObject(testError(4)); })),
            PRMObject(testError(4)));
  auto followed = PRMPromise::do_([] { return PRMObject(PRMPromise::resolvedWith(5)); });
  EXPECT_EQ(outcome(followed), PRMObject(5));
}

TEST_F(PromiseTest, TransformingOperationsFollowTheirRows) {
  using Op = std::function<Ptr(const Ptr&, std::vector<std::string>& calls)>;
  auto note = [](std::vector<std::string>& calls, std::string what) { calls.push_back(std::move(what)); };
  struct Case {
    const char* name;
    PRMObject source;
    Op op;
    PRMObject outcome;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"then maps a value", 2,
       [&](const Ptr& p, auto& calls) {
         return p->then([&](const PRMObject& v) { return note(calls, "then"), PRMObject(v.value()->integerValue() * 10); });
       },
       20, {"then"}},
      {"then returning an error rejects", 2,
       [&](const Ptr& p, auto&) { return p->then([](const PRMObject&) { return PRMObject(testError(6)); }); },
       testError(6), {}},
      {"then skips a rejection", testError(1),
       [&](const Ptr& p, auto& calls) { return p->then([&](const PRMObject&) { return note(calls, "then"), PRMObject(); }); },
       testError(1), {}},
      {"catch sees the error and keeps it", testError(1),
       [&](const Ptr& p, auto& calls) { return p->catch_([&](const ns::Error& e) { note(calls, e.domain()); }); },
       testError(1), {"test"}},
      {"catch passes a value", 3,
       [&](const Ptr& p, auto& calls) { return p->catch_([&](const ns::Error&) { note(calls, "catch"); }); }, 3, {}},
      {"recover turns a rejection into a value", testError(1),
       [&](const Ptr& p, auto&) { return p->recover([](const ns::Error& e) { return PRMObject(e.code() + 100); }); },
       101, {}},
      {"recover may follow a promise", testError(1),
       [&](const Ptr& p, auto&) {
         return p->recover([](const ns::Error&) { return PRMObject(PRMPromise::resolvedWith(testError(2))); });
       },
       testError(2), {}},
      {"always on a value", 4,
       [&](const Ptr& p, auto& calls) { return p->always([&] { note(calls, "always"); }); }, 4, {"always"}},
      {"always on an error", testError(1),
       [&](const Ptr& p, auto& calls) { return p->always([&] { note(calls, "always"); }); }, testError(1),
       {"always"}},
      {"validate accepts", 5,
       [&](const Ptr& p, auto&) { return p->validate([](const PRMObject& v) { return v.value()->integerValue() > 0; }); },
       5, {}},
      {"validate refuses with code 2", -5,
       [&](const Ptr& p, auto&) { return p->validate([](const PRMObject& v) { return v.value()->integerValue() > 0; }); },
       kValidationFailed, {}},
      {"validate passes a rejection", testError(1),
       [&](const Ptr& p, auto& calls) {
         return p->validate([&](const PRMObject&) { return note(calls, "validate"), true; });
       },
       testError(1), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> calls;
    auto result = c.op(PRMPromise::resolvedWith(c.source), calls);
    EXPECT_EQ(outcome(result), c.outcome);
    EXPECT_EQ(calls, c.calls);
  }
}

TEST_F(PromiseTest, ReduceFoldsItemsInOrder) {
  auto add = [](const PRMObject& partial, const PRMObject& item) {
    return PRMObject(partial.value()->integerValue() + item.value()->integerValue());
  };
  auto zero = PRMPromise::resolvedWith(0);
  EXPECT_EQ(zero->reduce({}, add), zero) << "no items: the receiver itself";
  EXPECT_EQ(outcome(zero->reduce({1, 2, 3}, add)), PRMObject(6));

  std::vector<int64_t> seen;
  auto failing = zero->reduce({1, 2, 3}, [&](const PRMObject& partial, const PRMObject& item) {
    seen.push_back(item.value()->integerValue());
    if (seen.size() == 2) return PRMObject(testError(2));
    return PRMObject(partial.value()->integerValue() + item.value()->integerValue());
  });
  EXPECT_EQ(outcome(failing), PRMObject(testError(2)));
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 2})) << "the rejection skips later combines";
}

// Promises for the combinator table, resolved by the case after the call.
struct Inputs {
  Ptr a = PRMPromise::pendingPromise();
  Ptr b = PRMPromise::pendingPromise();
};

TEST_F(PromiseTest, CombinatorsWaitForSeveralPromises) {
  using Items = std::function<PRMArray(Inputs&)>;
  using Combine = std::function<Ptr(PRMArray)>;
  using Resolve = std::function<void(Inputs&)>;
  Combine all = [](PRMArray items) { return PRMPromise::all(std::move(items)); };
  Combine any = [](PRMArray items) { return PRMPromise::any(std::move(items)); };
  Combine race = [](PRMArray items) { return PRMPromise::race(std::move(items)); };
  struct Case {
    const char* name;
    Combine combine;
    Items items;
    Resolve resolve;
    PRMObject outcome;
  };
  const Case cases[] = {
      {"all: nothing", all, [](Inputs&) { return PRMArray{}; }, [](Inputs& in) { in.a->fulfill(0), in.b->fulfill(0); },
       array({})},
      {"all keeps input order, not completion order", all, [](Inputs& in) { return PRMArray{in.a, 5, in.b}; },
       [](Inputs& in) { in.b->fulfill("B"), in.a->fulfill("A"); }, array({"A", 5, "B"})},
      {"all: a null value is the null object", all, [](Inputs& in) { return PRMArray{in.a, PRMObject()}; },
       [](Inputs& in) { in.a->fulfill(nullptr), in.b->fulfill(0); }, array({ns::Null{}, ns::Null{}})},
      {"all: an error among the items rejects at once", all,
       [](Inputs& in) { return PRMArray{in.a, 1, testError(9), in.b}; },
       [](Inputs& in) { in.a->fulfill(1), in.b->fulfill(2); }, testError(9)},
      {"all: the first rejection", all, [](Inputs& in) { return PRMArray{in.a, in.b}; },
       [](Inputs& in) { in.b->reject(testError(2)), in.a->reject(testError(1)); }, testError(2)},
      {"any: values and errors in input order", any, [](Inputs& in) { return PRMArray{in.a, in.b}; },
       [](Inputs& in) { in.b->fulfill("B"), in.a->reject(testError(1)); }, array({testError(1), "B"})},
      {"any: plain items count", any, [](Inputs& in) { return PRMArray{testError(3), in.a, PRMObject()}; },
       [](Inputs& in) { in.a->reject(testError(1)), in.b->fulfill(0); },
       array({testError(3), testError(1), ns::Null{}})},
      {"any: all rejected rejects", any, [](Inputs& in) { return PRMArray{in.a, in.b}; },
       [](Inputs& in) { in.b->reject(testError(2)), in.a->reject(testError(1)); }, testError(2)},
      {"race: a plain item wins at once", race, [](Inputs& in) { return PRMArray{in.a, 7, 8}; },
       [](Inputs& in) { in.a->fulfill(1), in.b->fulfill(0); }, 7},
      {"race: a plain error wins at once", race, [](Inputs& in) { return PRMArray{in.a, testError(4)}; },
       [](Inputs& in) { in.a->fulfill(1), in.b->fulfill(0); }, testError(4)},
      {"race: the first outcome", race, [](Inputs& in) { return PRMArray{in.a, in.b}; },
       [](Inputs& in) { in.b->reject(testError(2)), in.a->fulfill(1); }, testError(2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Inputs inputs;
    auto result = c.combine(c.items(inputs));
    dispatch::RunLoop::main().drain();
    c.resolve(inputs);
    EXPECT_EQ(outcome(result), c.outcome);
  }
}

TEST_F(PromiseTest, AnyRejectsWithTheErrorOfTheCallbackThatFirstSeesAllResolved) {
  // Both reject before either callback runs: the first callback, A's,
  // already finds every input resolved and decides.
  Inputs in;
  auto result = PRMPromise::any({in.a, in.b});
  dispatch::RunLoop::main().drain();
  in.a->reject(testError(1));
  in.b->reject(testError(2));
  EXPECT_EQ(outcome(result), PRMObject(testError(1)));
}

TEST_F(PromiseTest, AllAndAnyOnABusyConcurrentQueue) {
  auto queue = dispatch::Queue::concurrent("test.promise.combine");
  constexpr int kCount = 200;
  PRMArray items;
  std::vector<Ptr> inputs;
  for (int i = 0; i < kCount; ++i) {
    inputs.push_back(PRMPromise::pendingPromise());
    items.emplace_back(inputs.back());
  }
  auto all = PRMPromise::all(queue, items);
  auto any = PRMPromise::any(queue, items);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = t; i < kCount; i += 4) inputs[i]->fulfill(i);
    });
  }
  for (auto& thread : threads) thread.join();
  PRMArray expected;
  for (int i = 0; i < kCount; ++i) expected.emplace_back(i);
  EXPECT_EQ(PRMPromiseAwait(all), PRMObject::array(expected));
  EXPECT_EQ(PRMPromiseAwait(any), PRMObject::array(expected));
}

TEST_F(PromiseTest, RacingNothingIsAProgrammingError) {
  EXPECT_THROW(PRMPromise::race({}), ns::Exception);
  EXPECT_THROW(PRMPromise::raceOn()(dispatch::Queue::main(), {}), ns::Exception);
}

TEST_F(VirtualClockPromiseTest, DelayFulfilsLaterAndRejectsAtOnce) {
  auto source = PRMPromise::pendingPromise();
  auto delayed = source->delay(1.0);
  source->fulfill("v");
  dispatch::RunLoop::main().drain();
  advance(0.999);
  EXPECT_TRUE(delayed->isPending());
  advance(0.002);
  EXPECT_EQ(delayed->value(), PRMObject("v"));

  auto failed = PRMPromise::resolvedWith(testError(1))->delay(1.0);
  dispatch::RunLoop::main().drain();
  EXPECT_EQ(failed->error(), testError(1));
}

TEST_F(VirtualClockPromiseTest, TimeoutRejectsWhenTheIntervalEndsFirst) {
  auto never = PRMPromise::pendingPromise();
  auto timed = never->timeout(0.1);
  advance(0.099);
  EXPECT_TRUE(timed->isPending());
  advance(0.002);
  EXPECT_EQ(timed->error(), kTimedOut);
  EXPECT_TRUE(never->isPending()) << "the receiver is never rejected by it";
  never->fulfill(1);

  auto quick = PRMPromise::pendingPromise();
  auto beaten = quick->timeout(0.1);
  quick->fulfill(2);
  dispatch::RunLoop::main().drain();
  advance(0.2);
  EXPECT_EQ(beaten->value(), PRMObject(2));
}

TEST_F(VirtualClockPromiseTest, IntervalsOutsideTheClockAreNoWaitOrNever) {
  struct Case {
    double seconds;
    bool atOnce;
  };
  const Case cases[] = {
      {-1, true},
      {std::nan(""), true},
      {-std::numeric_limits<double>::infinity(), true},
      {0, true},
      {1e300, false},
      {std::numeric_limits<double>::infinity(), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    auto delayed = PRMPromise::resolvedWith(1)->delay(c.seconds);
    auto timed = PRMPromise::resolvedWith(2)->delay(1)->timeout(c.seconds);
    dispatch::RunLoop::main().drain();
    EXPECT_EQ(delayed->isFulfilled(), c.atOnce);
    EXPECT_EQ(timed->error() == kTimedOut, c.atOnce);
    advance(c.atOnce ? 1 : 1e9);
    if (!c.atOnce) {
      EXPECT_TRUE(delayed->isPending());
      EXPECT_EQ(timed->value(), PRMObject(2));
    }
  }
}

TEST_F(VirtualClockPromiseTest, RetryRunsTheWorkUpToRetriesPlusOneTimes) {
  auto queue = dispatch::Queue::main();
  std::vector<int64_t> remainingSeen;
  int runs = 0;
  std::thread::id firstThread;
  auto failing = [&] {
    if (++runs == 1) firstThread = std::this_thread::get_id();
    return PRMObject(testError(runs));
  };
  auto promise = PRMPromise::retry(queue, 3, 0.5, [&](int64_t remaining, const ns::Error&) {
    remainingSeen.push_back(remaining);
    return true;
  }, failing);
  EXPECT_EQ(runs, 1) << "the first attempt runs at once";
  EXPECT_EQ(firstThread, std::this_thread::get_id());
  for (int i = 0; i < 3; ++i) {
    dispatch::RunLoop::main().drain();
    EXPECT_EQ(runs, i + 1) << "waits for the pause";
    advance(0.5);
  }
  EXPECT_EQ(outcome(promise), PRMObject(testError(4)));
  EXPECT_EQ(runs, 4);
  EXPECT_EQ(remainingSeen, (std::vector<int64_t>{3, 2, 1}));
}

TEST_F(VirtualClockPromiseTest, RetryStopsOnSuccessOrWhenTheConditionSaysNo) {
  int runs = 0;
  auto refused = PRMPromise::retry(3, 0, [](int64_t remaining, const ns::Error&) { return remaining != 2; },
                                   [&] { return PRMObject(testError(++runs)); });
  EXPECT_EQ(outcome(refused), PRMObject(testError(2)));
  EXPECT_EQ(runs, 2);

  // The default: one retry after 1 second; a rejected promise is a failure.
  int attempts = 0;
  auto succeeded = PRMPromise::retry([&] {
    return ++attempts == 1 ? PRMObject(PRMPromise::resolvedWith(testError(1))) : PRMObject("ok");
  });
  dispatch::RunLoop::main().drain();
  EXPECT_EQ(attempts, 1);
  advance(1.0);
  EXPECT_EQ(outcome(succeeded), PRMObject("ok"));

  int once = 0;
  auto noRetry = PRMPromise::retry(-1, [&] { return PRMObject(testError(++once)); });
  EXPECT_EQ(outcome(noRetry), PRMObject(testError(1)));
  EXPECT_EQ(once, 1);
}

TEST_F(PromiseTest, AwaitOnTheMainThreadWhileOtherCallbacksUseTheMainQueue) {
  auto promise = PRMPromise::pendingPromise();
  bool mainCallbackRan = false;
  auto chained = promise->then([&](const PRMObject& v) {
    mainCallbackRan = true;
    return v;
  });
  std::thread resolver([&] { promise->fulfill("done"); });
  std::optional<ns::Error> error = testError(0);
  EXPECT_EQ(PRMPromiseAwait(promise, &error), PRMObject("done"));
  EXPECT_FALSE(error.has_value());
  resolver.join();
  EXPECT_FALSE(mainCallbackRan) << "queued on the main queue, which this thread serves";
  EXPECT_EQ(outcome(chained), PRMObject("done"));
  EXPECT_TRUE(mainCallbackRan);

  EXPECT_EQ(PRMPromiseAwait(PRMPromise::resolvedWith(testError(5)), &error), PRMObject());
  EXPECT_EQ(error, testError(5));
}

TEST(PromiseAwaitDeathTest, ANullPromiseStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(PRMPromiseAwait(nullptr), "PRMPromiseAwait.*promise");
}

TEST_F(PromiseTest, OperationsWithoutAQueueUseTheDefaultReadAtTheCall) {
  auto queue = dispatch::Queue::serial("test.promise.default");
  PRMPromise::setDefaultDispatchQueue(queue);
  EXPECT_EQ(PRMPromise::defaultDispatchQueue(), queue);
  std::string label;
  auto chained = PRMPromise::resolvedWith(1)->then([&](const PRMObject& v) {
    label = dispatch::Queue::currentLabel();
    return v;
  });
  PRMPromise::setDefaultDispatchQueue(dispatch::Queue::main());
  EXPECT_EQ(PRMPromiseAwait(chained), PRMObject(1));
  EXPECT_EQ(label, "test.promise.default");
}

TEST_F(PromiseTest, OperationsAsCallablesChain) {
  auto source = PRMPromise::resolvedWith(1);
  auto result = source->thenOn()(dispatch::Queue::main(), [](const PRMObject& v) {
                        return PRMObject(v.value()->integerValue() + 1);
                      })
                    ->validate()([](const PRMObject&) { return false; })
                    ->recover()([](const ns::Error& e) { return PRMObject(e.code()); });
  EXPECT_EQ(outcome(PRMPromise::all()({result, source})), array({PRMPromiseErrorCodeValidationFailure, 1}));
}

}  // namespace
}  // namespace prm::testing
