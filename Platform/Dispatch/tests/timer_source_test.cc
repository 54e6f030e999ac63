#include "Platform/Dispatch/TimerSource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Dispatch/tests/VirtualClockFixture.h"

namespace dispatch {
namespace {

using TimerSourceTest = VirtualClockTest;

TEST_F(TimerSourceTest, StartsOnResumeAndFiresEachInterval) {
  auto queue = Queue::serial("test.source");
  auto source = TimerSource::create(queue);
  std::vector<uint64_t> data;
  std::string label;
  source->setEventHandler([&] {
    data.push_back(source->data());
    label = Queue::currentLabel();
  });
  source->setTimer(timeAfter(1 * kNanosPerSecond), kNanosPerSecond, 0);
  ns::Clock::advance(5);
  queue->sync([] {});
  EXPECT_TRUE(data.empty()) << "a source starts suspended";

  source->resume();
  // Resuming late delivers the missed fire times as one call.
  queue->sync([] {});
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(data[0], 5u);
  EXPECT_EQ(label, "test.source");
  ns::Clock::advance(1);
  queue->sync([] {});
  ASSERT_EQ(data.size(), 2u);
  EXPECT_EQ(data[1], 1u);
  source->cancel();
}

TEST_F(TimerSourceTest, SuspendStopsFiringAndCancelRunsTheCancelHandler) {
  auto queue = Queue::serial("test.source.cancel");
  auto source = TimerSource::create(queue);
  int fires = 0;
  bool cancelHandlerRan = false;
  source->setEventHandler([&] { ++fires; });
  source->setCancelHandler([&] { cancelHandlerRan = true; });
  source->setTimer(timeAfter(kNanosPerSecond), kNanosPerSecond);
  source->resume();
  ns::Clock::advance(1);
  queue->sync([] {});
  EXPECT_EQ(fires, 1);
  source->suspend();
  ns::Clock::advance(0.5);
  queue->sync([] {});
  EXPECT_EQ(fires, 1);
  source->cancel();
  source->resume();
  ns::Clock::advance(10);
  queue->sync([] {});
  EXPECT_EQ(fires, 1);
  EXPECT_TRUE(cancelHandlerRan);
  EXPECT_TRUE(source->isCancelled());
}

TEST_F(TimerSourceTest, OneShotFiresOnceAndSetTimerReArms) {
  auto queue = Queue::serial("test.source.oneshot");
  auto source = TimerSource::create(queue);
  int fires = 0;
  source->setEventHandler([&] { ++fires; });
  source->setTimer(timeAfter(2 * kNanosPerSecond), TimerSource::kOneShot);
  source->resume();
  ns::Clock::advance(10);
  queue->sync([] {});
  EXPECT_EQ(fires, 1);
  ns::Clock::advance(10);
  queue->sync([] {});
  EXPECT_EQ(fires, 1);
  source->setTimer(timeAfter(kNanosPerSecond), TimerSource::kOneShot);
  ns::Clock::advance(1);
  queue->sync([] {});
  EXPECT_EQ(fires, 2);
  source->cancel();
}

TEST_F(TimerSourceTest, WallTimerFiresWhenTheWallClockGetsThere) {
  auto queue = Queue::serial("test.source.wall");
  auto source = TimerSource::create(queue);
  int fires = 0;
  source->setEventHandler([&] { ++fires; });
  source->setWallTimer(ns::Date(1060), TimerSource::kOneShot);
  source->resume();
  ns::Clock::advance(59);
  queue->sync([] {});
  EXPECT_EQ(fires, 0);
  ns::Clock::setWallTime(ns::Date(1061));
  queue->sync([] {});
  EXPECT_EQ(fires, 1);
  source->cancel();
}

TEST(RealTimeTimerSourceTest, RepeatsOnTheRealClock) {
  auto source = TimerSource::create(Queue::global());
  std::atomic<int> fires{0};
  Semaphore three;
  source->setEventHandler([&] {
    if (++fires == 3) three.signal();
  });
  source->setTimer(timeAfter(0), 5 * kNanosPerMillisecond);
  source->resume();
  EXPECT_TRUE(three.waitFor(5 * kNanosPerSecond));
  source->cancel();
}

}  // namespace
}  // namespace dispatch
