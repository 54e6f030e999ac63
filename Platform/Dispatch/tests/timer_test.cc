#include "Platform/Dispatch/Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Dispatch/DelayedPerform.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Dispatch/tests/VirtualClockFixture.h"

namespace dispatch {
namespace {

using AfterTest = VirtualClockTest;

TEST_F(AfterTest, FiresInDueOrderOnlyWhenTheClockMoves) {
  std::vector<std::string> fired;
  auto main = Queue::main();
  main->afterSeconds(3, [&] { fired.push_back("3s"); });
  main->after(1 * kNanosPerSecond, [&] { fired.push_back("1s"); });
  main->after(2 * kNanosPerSecond, [&] { fired.push_back("2s-a"); });
  main->after(2 * kNanosPerSecond, [&] { fired.push_back("2s-b"); });
  main->after(500, [&] { fired.push_back("500ns"); });

  RunLoop::main().drain();
  EXPECT_TRUE(fired.empty()) << "nothing may fire before the clock moves";
  advance(1.5);
  EXPECT_EQ(fired, (std::vector<std::string>{"500ns", "1s"}));
  advance(10);
  EXPECT_EQ(fired, (std::vector<std::string>{"500ns", "1s", "2s-a", "2s-b", "3s"}));
}

TEST_F(AfterTest, AdvancingTheClockRunsChainedDeadlinesEachAtItsOwnTime) {
  // Each step schedules the next, as chained animations do; a wall deadline
  // falls in between.
  std::vector<double> firedAt;
  double start = ns::Clock::now().timeIntervalSinceReferenceDate();
  std::function<void()> step = [&] {
    firedAt.push_back(ns::Clock::now().timeIntervalSinceReferenceDate() - start);
    if (firedAt.size() < 7) Queue::main()->afterSeconds(0.03, step);
  };
  Queue::main()->afterSeconds(0.03, step);
  bool wallFired = false;
  Queue::main()->afterWallTime(ns::Date(start + 0.1), [&] { wallFired = true; });

  RunLoop::main().advanceClock(0.5);
  ASSERT_EQ(firedAt.size(), 7u);
  for (size_t i = 0; i < firedAt.size(); ++i) EXPECT_NEAR(firedAt[i], 0.03 * double(i + 1), 1e-6) << i;
  EXPECT_TRUE(wallFired);
  EXPECT_NEAR(ns::Clock::now().timeIntervalSinceReferenceDate() - start, 0.5, 1e-6);
}

TEST_F(AfterTest, BackgroundQueueBlocksFireWhenDue) {
  auto queue = Queue::serial("test.after");
  std::vector<int> fired;
  queue->after(2 * kNanosPerSecond, [&] { fired.push_back(2); });
  queue->after(1 * kNanosPerSecond, [&] { fired.push_back(1); });
  ns::Clock::advance(0.5);
  queue->sync([] {});
  EXPECT_TRUE(fired.empty());
  ns::Clock::advance(5);
  queue->sync([] {});
  EXPECT_EQ(fired, (std::vector<int>{1, 2}));
}

TEST_F(AfterTest, WallTimeBlockFollowsTheWallClock) {
  std::vector<std::string> fired;
  Queue::main()->afterWallTime(ns::Date(1100), [&] { fired.push_back("wall"); });
  advance(50);
  EXPECT_TRUE(fired.empty());
  // The user moves the device's clock past the date without uptime moving.
  ns::Clock::setWallTime(ns::Date(1200));
  RunLoop::main().drain();
  EXPECT_EQ(fired, (std::vector<std::string>{"wall"}));
}

using TimerTest = VirtualClockTest;

TEST_F(TimerTest, OneShotFiresOnceWithItsUserInfo) {
  int fires = 0;
  std::string info;
  auto timer = Timer::scheduled(
      2, false,
      [&](Timer& t) {
        ++fires;
        info = t.userInfo().stringValue();
      },
      ns::Value("payload"));
  advance(1.9);
  EXPECT_EQ(fires, 0);
  advance(0.1);
  EXPECT_EQ(fires, 1);
  EXPECT_EQ(info, "payload");
  EXPECT_FALSE(timer->isValid());
  advance(10);
  EXPECT_EQ(fires, 1);
}

TEST_F(TimerTest, RepeatingFiresEachIntervalAndSkipsMissedTimes) {
  std::vector<double> at;
  auto timer = Timer::scheduled(1, true, [&](Timer&) { at.push_back(ns::Clock::now().timeIntervalSinceReferenceDate()); });
  advance(1);
  advance(1);
  EXPECT_EQ(at, (std::vector<double>{1001, 1002}));
  // A big jump fires once, then keeps to the schedule from there.
  advance(5.5);
  ASSERT_EQ(at.size(), 3u);
  EXPECT_DOUBLE_EQ(timer->fireDate().timeIntervalSinceReferenceDate(), 1008);
  advance(0.5);
  EXPECT_EQ(at.size(), 4u);
  timer->invalidate();
  advance(5);
  EXPECT_EQ(at.size(), 4u);
}

TEST_F(TimerTest, InvalidateFromItsOwnHandlerStopsIt) {
  int fires = 0;
  auto timer = Timer::scheduled(1, true, [&](Timer& t) {
    if (++fires == 2) t.invalidate();
  });
  for (int i = 0; i < 5; ++i) advance(1);
  EXPECT_EQ(fires, 2);
  EXPECT_FALSE(timer->isValid());
}

TEST_F(TimerTest, TimersOfDifferentDatesFireInDueOrder) {
  std::vector<int> order;
  auto late = Timer::scheduled(3, false, [&](Timer&) { order.push_back(3); });
  auto early = Timer::scheduled(1, false, [&](Timer&) { order.push_back(1); });
  auto middle = Timer::create(ns::Clock::now().addingTimeInterval(2), 0, false, [&](Timer&) { order.push_back(2); });
  middle->schedule();
  advance(5);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(TimerTest, SetFireDateMovesTheNextFiring) {
  int fires = 0;
  auto timer = Timer::scheduled(10, false, [&](Timer&) { ++fires; });
  timer->setFireDate(ns::Clock::now().addingTimeInterval(1));
  advance(1);
  EXPECT_EQ(fires, 1);
}

TEST_F(TimerTest, UnscheduledTimerDoesNotFireButCanBeFiredByHand) {
  int fires = 0;
  auto timer = Timer::create(ns::Clock::now().addingTimeInterval(1), 0, false, [&](Timer&) { ++fires; });
  advance(5);
  EXPECT_EQ(fires, 0);
  timer->fire();
  EXPECT_EQ(fires, 1);
  EXPECT_FALSE(timer->isValid());
}

using DelayedPerformTest = VirtualClockTest;

TEST_F(DelayedPerformTest, CancelRemovesOnlyMatchingRequests) {
  int target1 = 0, target2 = 0, arg = 0;
  std::vector<std::string> ran;
  performAfterDelay(&target1, "save", nullptr, 1, [&] { ran.push_back("t1.save"); });
  performAfterDelay(&target1, "save", &arg, 1, [&] { ran.push_back("t1.save(arg)"); });
  performAfterDelay(&target1, "reload", nullptr, 1, [&] { ran.push_back("t1.reload"); });
  performAfterDelay(&target2, "save", nullptr, 1, [&] { ran.push_back("t2.save"); });

  cancelPreviousPerformRequests(&target1, "save", nullptr);
  advance(1);
  EXPECT_EQ(ran, (std::vector<std::string>{"t1.save(arg)", "t1.reload", "t2.save"}));

  ran.clear();
  performAfterDelay(&target1, "save", nullptr, 1, [&] { ran.push_back("t1.save"); });
  performAfterDelay(&target1, "reload", nullptr, 2, [&] { ran.push_back("t1.reload"); });
  performAfterDelay(&target2, "save", nullptr, 1, [&] { ran.push_back("t2.save"); });
  cancelPreviousPerformRequests(&target1);
  advance(3);
  EXPECT_EQ(ran, (std::vector<std::string>{"t2.save"}));
}

TEST_F(DelayedPerformTest, CancelAfterFallingDueButBeforeThePumpStillCancels) {
  int target = 0;
  bool ran = false;
  performAfterDelay(&target, "tick", nullptr, 1, [&] { ran = true; });
  ns::Clock::advance(1);  // due, queued on the loop, not yet run
  cancelPreviousPerformRequests(&target);
  RunLoop::main().drain();
  EXPECT_FALSE(ran);
}

TEST_F(TimerTest, RunUntilDateWaitsForAnotherThreadToMoveTheClock) {
  bool fired = false;
  auto timer = Timer::scheduled(3, false, [&](Timer&) { fired = true; });
  std::thread mover([] {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      ns::Clock::advance(1);
    }
  });
  RunLoop::main().runUntilDate(ns::Clock::now().addingTimeInterval(5));
  mover.join();
  EXPECT_TRUE(fired);
  EXPECT_GE(ns::Clock::now().timeIntervalSinceReferenceDate(), 1005);
}

TEST(RealTimeTimerTest, AfterFiresOnTheRealClock) {
  ASSERT_FALSE(ns::Clock::isVirtual());
  Semaphore done;
  auto start = ns::Clock::uptimeNanos();
  Queue::global()->after(20 * kNanosPerMillisecond, [&] { done.signal(); });
  ASSERT_TRUE(done.waitFor(5 * kNanosPerSecond));
  EXPECT_GE(ns::Clock::uptimeNanos() - start, uint64_t(20 * kNanosPerMillisecond));

  bool fired = false;
  auto timer = Timer::scheduled(0.02, false, [&](Timer&) { fired = true; });
  EXPECT_TRUE(RunLoop::main().runUntil([&] { return fired; }, 5));
}

}  // namespace
}  // namespace dispatch
