#include "Platform/Dispatch/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/TimerSource.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Error.h"

namespace dispatch {
namespace {

TEST(MainRunLoopTest, BlockFromBackgroundRunsOnlyWhenPumped) {
  RunLoop::main().drain();
  std::atomic<bool> ran{false};
  std::atomic<bool> onMain{false};
  std::atomic<bool> queued{false};
  std::thread background([&] {
    Queue::main()->async([&] {
      ran = true;
      onMain = isMainThread() && Queue::main()->isCurrent();
    });
    queued = true;
  });
  background.join();
  EXPECT_TRUE(queued.load());
  EXPECT_FALSE(ran.load());
  EXPECT_TRUE(RunLoop::main().runUntil([&] { return ran.load(); }, 5));
  EXPECT_TRUE(onMain.load());
}

TEST(MainRunLoopTest, BackgroundSyncOntoMainCompletesWhileMainPumps) {
  std::atomic<bool> finished{false};
  int value = 0;
  std::thread background([&] {
    Queue::main()->sync([&] { value = isMainThread() ? 42 : -1; });
    finished = true;
  });
  EXPECT_TRUE(RunLoop::main().runUntil([&] { return finished.load(); }, 5));
  background.join();
  EXPECT_EQ(value, 42);
}

// A wait of the loop with nothing queued ends on wake(): a thread wakes it
// until the wait has ended, so the test never depends on who comes first.
TEST(MainRunLoopTest, WakeEndsAWaitWithNothingQueued) {
  RunLoop::main().drain();
  std::atomic<bool> returned{false};
  std::thread waker([&] {
    while (!returned) {
      RunLoop::main().wake();
      std::this_thread::yield();
    }
  });
  EXPECT_FALSE(RunLoop::main().runOnce(3600));  // nothing ran, and it came back
  returned = true;
  waker.join();
}

// The last worker falling idle wakes the loop: work runs on the workers
// until the wait has ended, which it does without anything reaching the
// main queue.
TEST(MainRunLoopTest, TheWorkersFallingIdleWakeTheLoop) {
  RunLoop::main().drain();
  std::atomic<bool> returned{false};
  std::atomic<int> tasks{0};
  std::thread submitter([&] {
    while (!returned) {
      Queue::global(Priority::Default)->async([&] { ++tasks; });
      while (!returned && otherQueuesBusy()) std::this_thread::yield();
    }
  });
  EXPECT_FALSE(RunLoop::main().runOnce(3600));
  returned = true;
  submitter.join();
  while (otherQueuesBusy()) std::this_thread::yield();  // the last task is done with `tasks`
  EXPECT_GT(tasks.load(), 0);
}

TEST(MainRunLoopTest, RunsMainBlocksInOrderAndStopEndsRun) {
  std::vector<int> order;
  for (int i = 0; i < 5; ++i) Queue::main()->async([&, i] { order.push_back(i); });
  Queue::main()->async([] { RunLoop::main().stop(); });
  RunLoop::main().run();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(MainRunLoopTest, RunOnceDoesNotRunBlocksQueuedMeanwhile) {
  RunLoop::main().drain();
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    Queue::main()->async(again);
  };
  Queue::main()->async(again);
  EXPECT_TRUE(RunLoop::main().runOnce());
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(RunLoop::main().runOnce());
  EXPECT_EQ(runs, 2);
  // Let the chain end.
  again = [&] { ++runs; };
  RunLoop::main().drain();
  EXPECT_FALSE(RunLoop::main().runOnce());
}

TEST(MainRunLoopTest, PumpingOffTheMainThreadIsRefused) {
  bool threw = false;
  std::thread other([&] {
    try {
      RunLoop::main().runOnce();
    } catch (const ns::Exception&) {
      threw = true;
    }
  });
  other.join();
  EXPECT_TRUE(threw);
  EXPECT_TRUE(isMainThread());
}

}  // namespace
}  // namespace dispatch

namespace dispatch {
namespace {

// The steps from deadline to deadline are differences of large clock
// values and may add up a rounding error short of the span: a timer due
// that close past the end still fires, one a millisecond past does not.
TEST(MainRunLoopTest, AdvancingTheClockFiresATimerDueAtTheEndDespiteRounding) {
  struct Case {
    double pastTheEnd;
    bool fires;
  } cases[] = {{0, true}, {2.4e-7, true}, {9e-7, true}, {1e-3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pastTheEnd);
    ns::Clock::useVirtual(ns::Date::fromUnixTime(1700000000.0));
    RunLoop::main().drain();
    bool fired = false;
    auto alarm = TimerSource::create(Queue::main());
    alarm->setEventHandler([&fired] { fired = true; });
    alarm->setWallTimer(ns::Date::now().addingTimeInterval(3600 + c.pastTheEnd), TimerSource::kOneShot, 0);
    alarm->resume();
    RunLoop::main().advanceClock(3600);
    EXPECT_EQ(fired, c.fires);
    alarm->cancel();
    RunLoop::main().drain();
  }
  ns::Clock::useReal();
}

}  // namespace
}  // namespace dispatch
