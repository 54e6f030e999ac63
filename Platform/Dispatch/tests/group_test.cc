#include "Platform/Dispatch/Group.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Platform/Dispatch/CancellableBlock.h"
#include "Platform/Dispatch/Once.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Dispatch/tests/VirtualClockFixture.h"
#include "Platform/Foundation/Error.h"

namespace dispatch {
namespace {

TEST(GroupTest, WaitReturnsOnlyAfterEveryBlockAndEnteredTask) {
  Group group;
  std::atomic<int> done{0};
  auto queue = Queue::concurrent("test.group");
  for (int i = 0; i < 8; ++i) {
    group.async(queue, [&, i] {
      std::this_thread::sleep_for(std::chrono::milliseconds(i % 3));
      done++;
    });
  }
  group.enter();
  std::thread manual([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    done++;
    group.leave();
  });
  EXPECT_TRUE(group.wait());
  EXPECT_EQ(done.load(), 9);
  manual.join();
}

TEST(GroupTest, NotifyRunsOnItsQueueOnceEmpty) {
  Group group;
  auto queue = Queue::serial("test.group.notify");
  std::atomic<bool> blockDone{false};
  std::atomic<bool> notifiedAfterBlock{false};
  std::string notifyLabel;
  Semaphore notified;
  Semaphore release;
  group.async(queue, [&] {
    release.wait();
    blockDone = true;
  });
  group.notify(Queue::global(), [&] {
    notifiedAfterBlock = blockDone.load();
    notifyLabel = Queue::currentLabel();
    notified.signal();
  });
  EXPECT_FALSE(notified.waitFor(20 * kNanosPerMillisecond));
  release.signal();
  ASSERT_TRUE(notified.waitFor(5 * kNanosPerSecond));
  EXPECT_TRUE(notifiedAfterBlock.load());
  EXPECT_EQ(notifyLabel, "global.default");

  // An empty group notifies at once.
  Semaphore again;
  group.notify(Queue::global(), [&] { again.signal(); });
  EXPECT_TRUE(again.waitFor(5 * kNanosPerSecond));
}

TEST(GroupTest, LeavingAnEmptyGroupIsAProgrammingError) {
  Group group;
  EXPECT_THROW(group.leave(), ns::Exception);
}

using TimedWaitTest = VirtualClockTest;

TEST_F(TimedWaitTest, TimeoutsPassOnlyWithTheVirtualClock) {
  Group group;
  group.enter();
  Semaphore semaphore;
  std::atomic<int> groupResult{-1};
  std::atomic<int> semaphoreResult{-1};
  std::thread waiter([&] {
    groupResult = group.waitFor(2 * kNanosPerSecond) ? 1 : 0;
    semaphoreResult = semaphore.waitFor(2 * kNanosPerSecond) ? 1 : 0;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(groupResult.load(), -1) << "a virtual timeout may not pass in real time";
  ns::Clock::advance(2);
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (groupResult.load() == -1 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
  EXPECT_EQ(groupResult.load(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(semaphoreResult.load(), -1);
  semaphore.signal();
  waiter.join();
  EXPECT_EQ(semaphoreResult.load(), 1);
  group.leave();
  EXPECT_TRUE(group.wait(kTimeNow));
}

TEST(SemaphoreTest, CountsSignalsAndWakesWaiters) {
  Semaphore s(2);
  EXPECT_TRUE(s.wait(kTimeNow));
  EXPECT_TRUE(s.wait(kTimeNow));
  EXPECT_FALSE(s.wait(kTimeNow));
  EXPECT_FALSE(s.signal()) << "nobody was waiting";
  EXPECT_TRUE(s.wait(kTimeNow));

  std::atomic<bool> got{false};
  std::thread waiter([&] { got = s.wait(); });
  for (int i = 0; i < 5000 && s.waiting() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(s.waiting(), 1);
  EXPECT_TRUE(s.signal()) << "the waiter is blocked by now";
  waiter.join();
  EXPECT_TRUE(got.load());
}

TEST(OnceTest, RunsExactlyOnceAcrossThreads) {
  Once once;
  std::atomic<int> runs{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) threads.emplace_back([&] { once.call([&] { runs++; }); });
  for (auto& t : threads) t.join();
  EXPECT_EQ(runs.load(), 1);
}

TEST(CancellableBlockTest, CancelledBeforeStartNeverRuns) {
  auto queue = Queue::serial("test.cancel");
  std::atomic<int> ran{0};
  queue->suspend();
  auto kept = CancellableBlock::create([&] { ran += 1; });
  auto cancelled = CancellableBlock::create([&] { ran += 10; });
  queue->async(kept->function());
  queue->async(cancelled->function());
  cancelled->cancel();
  queue->resume();
  queue->sync([] {});
  EXPECT_EQ(ran.load(), 1);
  EXPECT_TRUE(cancelled->isCancelled());
}

}  // namespace
}  // namespace dispatch
