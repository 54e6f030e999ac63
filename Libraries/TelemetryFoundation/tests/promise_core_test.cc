#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Libraries/TelemetryFoundation/tests/PromiseTestSupport.h"
#include "Platform/Dispatch/Semaphore.h"

namespace prm::testing {
namespace {

using Ptr = PRMPromise::Ptr;
using State = PRMPromise::State;

State stateOf(const Ptr& promise) {
  if (promise->isFulfilled()) return State::Fulfilled;
  if (promise->isRejected()) return State::Rejected;
  return State::Pending;
}

struct Record {
  int id = 0;
};

TEST(PRMObjectTest, KindsAreToldApartAndDescribed) {
  auto record = std::make_shared<Record>();
  auto promise = PRMPromise::pendingPromise();
  struct Case {
    PRMObject object;
    PRMObject::Kind kind;
  };
  const Case cases[] = {
      {PRMObject(), PRMObject::Kind::Null},
      {PRMObject(nullptr), PRMObject::Kind::Null},
      {PRMObject(std::shared_ptr<Record>()), PRMObject::Kind::Null},
      {PRMObject(ns::Null{}), PRMObject::Kind::Value},
      {PRMObject(42), PRMObject::Kind::Value},
      {PRMObject("text"), PRMObject::Kind::Value},
      {PRMObject(record), PRMObject::Kind::Object},
      {PRMObject::array({1, 2}), PRMObject::Kind::Object},
      {PRMObject(testError(3)), PRMObject::Kind::Error},
      {PRMObject(promise), PRMObject::Kind::Promise},
  };
  for (const auto& c : cases) EXPECT_EQ(c.object.kind(), c.kind) << c.object.description();

  // The null object is a value, unlike null.
  EXPECT_NE(PRMObject(ns::Null{}), PRMObject());
  EXPECT_EQ(PRMObject(ns::Null{}).description(), "<null>");
  EXPECT_EQ(PRMObject().description(), "(null)");
  EXPECT_EQ(array({1, "a", ns::Null{}}).description(), "(1, a, <null>)");

  // An object comes back only as its own type.
  PRMObject held(record);
  EXPECT_EQ(held.object<Record>(), record);
  EXPECT_EQ(held.object<int>(), nullptr);
  EXPECT_EQ(held.description().rfind("<prm::testing::(anonymous namespace)::Record: 0x", 0), 0u) << held.description();
  EXPECT_EQ(PRMObject(promise).promise(), promise);
  promise->fulfill(nullptr);
}

TEST_F(PromiseTest, TheFirstResolutionWins) {
  struct Case {
    const char* name;
    std::function<void(const Ptr&)> resolve;
    State state;
    PRMObject value;
    std::optional<ns::Error> error;
  };
  const Case cases[] = {
      {"fulfil twice", [](const Ptr& p) { p->fulfill(1), p->fulfill(2); }, State::Fulfilled, 1, {}},
      {"fulfil, then reject", [](const Ptr& p) { p->fulfill(1), p->reject(testError(1)); }, State::Fulfilled, 1, {}},
      {"reject, then fulfil", [](const Ptr& p) { p->reject(testError(1)), p->fulfill(1); }, State::Rejected, {}, testError(1)},
      {"fulfil with an error rejects", [](const Ptr& p) { p->fulfill(testError(2)), p->fulfill(1); }, State::Rejected, {}, testError(2)},
      {"fulfil with null", [](const Ptr& p) { p->fulfill(nullptr), p->fulfill(1); }, State::Fulfilled, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto promise = PRMPromise::pendingPromise();
    int fulfilled = 0, rejected = 0;
    promise->observeOnQueue(dispatch::Queue::main(), [&](const PRMObject&) { ++fulfilled; },
                            [&](const ns::Error&) { ++rejected; });
    c.resolve(promise);
    dispatch::RunLoop::main().drain();
    EXPECT_EQ(stateOf(promise), c.state);
    EXPECT_EQ(promise->value(), c.value);
    EXPECT_EQ(promise->error(), c.error);
    EXPECT_EQ(fulfilled + rejected, 1);
    EXPECT_EQ(rejected, c.state == State::Rejected ? 1 : 0);
  }
}

TEST_F(PromiseTest, ResolvedWithTellsErrorsFromValues) {
  struct Case {
    PRMObject resolution;
    State state;
  };
  auto inner = PRMPromise::pendingPromise();
  const Case cases[] = {
      {PRMObject(), State::Fulfilled},
      {PRMObject(42), State::Fulfilled},
      {PRMObject(testError(1)), State::Rejected},
      {PRMObject(inner), State::Fulfilled},  // kept as the value, not followed
  };
  for (const auto& c : cases) {
    auto promise = PRMPromise::resolvedWith(c.resolution);
    EXPECT_EQ(stateOf(promise), c.state) << c.resolution.description();
    if (c.state == State::Fulfilled) {
      EXPECT_EQ(promise->value(), c.resolution);
    } else {
      EXPECT_EQ(promise->error(), *c.resolution.error());
    }
  }
  EXPECT_EQ(PRMPromise::resolved()(5)->value(), PRMObject(5));
  EXPECT_TRUE(PRMPromise::pending()()->isPending());
  inner->fulfill(nullptr);
}

TEST_F(PromiseTest, CallbacksRunLaterOnTheirQueueNeverInsideTheCall) {
  auto promise = PRMPromise::pendingPromise();
  std::vector<std::string> ran;
  auto main = dispatch::Queue::main();
  promise->observeOnQueue(main, [&](const PRMObject& v) { ran.push_back("before " + v.description()); }, nullptr);
  EXPECT_TRUE(ran.empty());
  promise->fulfill("x");
  EXPECT_TRUE(ran.empty()) << "ran inside fulfill";
  promise->observeOnQueue(main, [&](const PRMObject& v) { ran.push_back("after " + v.description()); }, nullptr);
  EXPECT_TRUE(ran.empty()) << "ran inside the observation";
  dispatch::RunLoop::main().drain();
  EXPECT_EQ(ran, (std::vector<std::string>{"before x", "after x"}));

  auto rejected = PRMPromise::pendingPromise();
  bool rejectRan = false;
  rejected->observeOnQueue(main, nullptr, [&](const ns::Error&) { rejectRan = true; });
  rejected->reject(testError(1));
  EXPECT_FALSE(rejectRan) << "ran inside reject";
  dispatch::RunLoop::main().drain();
  EXPECT_TRUE(rejectRan);
}

TEST_F(PromiseTest, ASerialQueueRunsEachCallbackOnceInRegistrationOrder) {
  auto queue = dispatch::Queue::serial("test.promise.order");
  auto promise = PRMPromise::pendingPromise();
  std::mutex mutex;
  std::vector<int> order;
  std::atomic<int> offQueue{0};
  dispatch::Semaphore done;
  constexpr int kEach = 50;
  auto observe = [&](int id) {
    promise->observeOnQueue(
        queue,
        [&, id](const PRMObject&) {
          if (dispatch::Queue::currentLabel() != "test.promise.order") ++offQueue;
          std::lock_guard lock(mutex);
          order.push_back(id);
          if (order.size() == 2 * kEach) done.signal();
        },
        nullptr);
  };
  for (int i = 0; i < kEach; ++i) observe(i);
  std::thread resolver([&] { promise->fulfill(1); });
  resolver.join();
  for (int i = kEach; i < 2 * kEach; ++i) observe(i);
  ASSERT_TRUE(done.waitFor(5 * dispatch::kNanosPerSecond));
  ASSERT_TRUE(PRMPromise::dispatchGroup().waitFor(5 * dispatch::kNanosPerSecond));
  std::vector<int> expected;
  for (int i = 0; i < 2 * kEach; ++i) expected.push_back(i);
  EXPECT_EQ(order, expected);
  EXPECT_EQ(offQueue.load(), 0);
}

TEST_F(PromiseTest, ChainingFollowsTheResultRules) {
  auto pendingInner = PRMPromise::pendingPromise();
  auto object = PRMPromise::resolvedWith(7);
  struct Case {
    const char* name;
    PRMObject source;  // the receiver's resolution
    PRMPromise::ChainedFulfill onFulfill;
    PRMPromise::ChainedReject onReject;
    State state;
    PRMObject resolution;  // value or error
  };
  const Case cases[] = {
      {"a value from fulfil fulfils", 1, [](const PRMObject& v) { return PRMObject(v.value()->integerValue() + 1); },
       nullptr, State::Fulfilled, 2},
      {"an error from fulfil rejects", 1, [](const PRMObject&) { return PRMObject(testError(5)); }, nullptr,
       State::Rejected, testError(5)},
      {"null from fulfil fulfils", 1, [](const PRMObject&) { return PRMObject(); }, nullptr, State::Fulfilled, {}},
      {"a value from reject fulfils", testError(1), nullptr, [](const ns::Error&) { return PRMObject("saved"); },
       State::Fulfilled, "saved"},
      {"without reject the error passes", testError(1), [](const PRMObject&) { return PRMObject(9); }, nullptr,
       State::Rejected, testError(1)},
      {"without fulfil the value passes", 3, nullptr, [](const ns::Error&) { return PRMObject(9); },
       State::Fulfilled, 3},
      {"a returned promise is followed", 1, [=](const PRMObject&) { return PRMObject(object); }, nullptr,
       State::Fulfilled, 7},
      {"one level only", 1,
       [=](const PRMObject&) { return PRMObject(PRMPromise::resolvedWith(PRMObject(object))); }, nullptr,
       State::Fulfilled, PRMObject(object)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto chained = PRMPromise::resolvedWith(c.source)->chainOnQueue(dispatch::Queue::main(), c.onFulfill, c.onReject);
    ASSERT_TRUE(settle(chained));
    EXPECT_EQ(stateOf(chained), c.state);
    EXPECT_EQ(c.state == State::Fulfilled ? chained->value() : PRMObject(*chained->error()), c.resolution);
  }

  // A returned pending promise holds the chain until it resolves.
  auto chained = PRMPromise::resolvedWith(1)->chainOnQueue(
      dispatch::Queue::main(), [=](const PRMObject&) { return PRMObject(pendingInner); }, nullptr);
  dispatch::RunLoop::main().drain();
  EXPECT_TRUE(chained->isPending());
  pendingInner->reject(testError(8));
  ASSERT_TRUE(settle(chained));
  EXPECT_EQ(chained->error(), testError(8));
}

TEST_F(PromiseTest, TheGroupIsEmptyExactlyWhenNothingIsPendingOrQueued) {
  ASSERT_TRUE(groupIsEmpty());
  auto resolved = PRMPromise::resolvedWith(1);
  EXPECT_TRUE(groupIsEmpty()) << "a resolved promise is not pending";

  auto promise = PRMPromise::pendingPromise();
  EXPECT_FALSE(groupIsEmpty());
  promise->observeOnQueue(dispatch::Queue::main(), [](const PRMObject&) {}, nullptr);
  promise->fulfill(1);
  EXPECT_FALSE(groupIsEmpty()) << "its callback is still queued";
  dispatch::RunLoop::main().drain();
  EXPECT_TRUE(groupIsEmpty());

  resolved->observeOnQueue(dispatch::Queue::main(), [](const PRMObject&) {}, nullptr);
  EXPECT_FALSE(groupIsEmpty());
  dispatch::RunLoop::main().drain();
  EXPECT_TRUE(groupIsEmpty());

  // Dropped while pending, with a chain hanging on it.
  auto abandoned = PRMPromise::pendingPromise();
  std::weak_ptr<PRMPromise> chained = abandoned->then([](const PRMObject& v) { return v; });
  EXPECT_FALSE(groupIsEmpty());
  abandoned.reset();
  EXPECT_TRUE(chained.expired());
  EXPECT_TRUE(groupIsEmpty());
}

TEST_F(PromiseTest, PendingObjectsLiveUntilTheResolution) {
  auto promise = PRMPromise::pendingPromise();
  auto kept = std::make_shared<int>(1);
  std::weak_ptr<int> watch = kept;
  promise->addPendingObject(std::move(kept));
  EXPECT_FALSE(watch.expired());
  promise->reject(testError(1));
  EXPECT_TRUE(watch.expired());

  auto late = std::make_shared<int>(2);
  std::weak_ptr<int> lateWatch = late;
  promise->addPendingObject(std::move(late));
  EXPECT_TRUE(lateWatch.expired()) << "a resolved promise keeps nothing";

  // A promise kept only by its own pending objects survives its resolution.
  auto selfKept = PRMPromise::pendingPromise();
  std::weak_ptr<PRMPromise> selfWatch = selfKept;
  selfKept->addPendingObject(selfKept);
  PRMPromise* raw = selfKept.get();
  selfKept.reset();
  ASSERT_FALSE(selfWatch.expired());
  raw->fulfill(1);
  EXPECT_TRUE(selfWatch.expired());
}

TEST_F(PromiseTest, DescriptionsNameTheClassAddressAndResult) {
  auto pending = PRMPromise::pendingPromise();
  auto fulfilled = PRMPromise::resolvedWith(42);
  auto rejected = PRMPromise::resolvedWith(testError(3));
  auto address = [](const Ptr& p) { return ns::format("%p", static_cast<const void*>(p.get())); };
  EXPECT_EQ(pending->description(), "<PRMPromise " + address(pending) + "> Pending");
  EXPECT_EQ(fulfilled->description(), "<PRMPromise " + address(fulfilled) + "> Fulfilled: 42");
  EXPECT_EQ(rejected->description(), "<PRMPromise " + address(rejected) +
                                         "> Rejected: Error Domain=test Code=3 \"The operation couldn\u2019t be "
                                         "completed. (test error 3.)\"");
  pending->fulfill(nullptr);
  EXPECT_EQ(pending->description(), "<PRMPromise " + address(pending) + "> Fulfilled: (null)");
}

TEST_F(PromiseTest, ManyThreadsResolvingAndObservingOnePromiseAgreeOnOneValue) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 30;
  auto queue = dispatch::Queue::concurrent("test.promise.race");
  for (int round = 0; round < kRounds; ++round) {
    auto promise = PRMPromise::pendingPromise();
    std::atomic<int> calls{0};
    std::mutex mutex;
    std::vector<int64_t> seen;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        promise->observeOnQueue(
            queue,
            [&](const PRMObject& v) {
              ++calls;
              std::lock_guard lock(mutex);
              seen.push_back(v.value()->integerValue());
            },
            [&](const ns::Error&) { ++calls; });
        if (t % 2) promise->fulfill(t);
        (void)promise->isPending();
        promise->observeOnQueue(queue, [&](const PRMObject&) { ++calls; }, nullptr);
      });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(PRMPromise::dispatchGroup().waitFor(5 * dispatch::kNanosPerSecond));
    EXPECT_EQ(calls.load(), 2 * kThreads);
    ASSERT_EQ(seen.size(), size_t(kThreads));
    for (int64_t v : seen) EXPECT_EQ(v, promise->value().value()->integerValue());
  }
}

}  // namespace
}  // namespace prm::testing
