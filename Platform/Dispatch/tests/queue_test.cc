#include "Platform/Dispatch/Queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "Platform/Dispatch/Group.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Foundation/Error.h"

namespace dispatch {
namespace {

TEST(SerialQueueTest, RunsBlocksInOrderAndNeverTwoAtOnce) {
  auto queue = Queue::serial("test.serial");
  std::vector<int> order;
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
  for (int i = 0; i < 200; ++i) {
    queue->async([&, i] {
      if (running.fetch_add(1) != 0) overlapped = true;
      order.push_back(i);
      if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      running.fetch_sub(1);
    });
  }
  queue->sync([] {});
  ASSERT_EQ(order.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[i], i);
  EXPECT_FALSE(overlapped);
}

TEST(SerialQueueTest, SyncFromManyThreadsIsMutuallyExclusive) {
  auto queue = Queue::serial("test.serial.sync");
  int counter = 0;  // unguarded on purpose: the queue is the lock
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) queue->sync([&] { ++counter; });
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 4000);
}

TEST(ConcurrentQueueTest, RunsBlocksTogetherAndBarrierWaitsForThem) {
  auto queue = Queue::concurrent("test.concurrent");
  constexpr int kBlocks = 4;
  std::atomic<int> arrived{0};
  std::atomic<int> finished{0};
  std::atomic<int> seenByBarrier{-1};
  std::atomic<bool> afterBarrierSawBarrier{false};
  std::atomic<bool> barrierDone{false};
  for (int i = 0; i < kBlocks; ++i) {
    queue->async([&] {
      // Every block waits until all have started: only possible when they
      // run at the same time.
      arrived.fetch_add(1);
      auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (arrived.load() < kBlocks && std::chrono::steady_clock::now() < until) std::this_thread::yield();
      finished.fetch_add(1);
    });
  }
  queue->asyncBarrier([&] {
    seenByBarrier = finished.load();
    barrierDone = true;
  });
  queue->async([&] { afterBarrierSawBarrier = barrierDone.load(); });
  queue->syncBarrier([] {});
  EXPECT_EQ(arrived.load(), kBlocks);
  EXPECT_EQ(seenByBarrier.load(), kBlocks);
  EXPECT_TRUE(afterBarrierSawBarrier.load());
}

TEST(QueueTest, CurrentLabelAndSpecificAreThoseOfTheRunningQueue) {
  static int key;
  static int value;
  auto outer = Queue::serial("test.outer");
  auto inner = Queue::serial("test.inner");
  outer->setSpecific(&key, &value);
  std::string outerLabel, innerLabel;
  void* outerSpecific = nullptr;
  void* innerSpecific = &key;
  bool outerCurrentInInner = false;
  outer->sync([&] {
    outerLabel = Queue::currentLabel();
    outerSpecific = Queue::currentSpecific(&key);
    inner->sync([&] {
      innerLabel = Queue::currentLabel();
      innerSpecific = Queue::currentSpecific(&key);
      outerCurrentInInner = outer->isCurrent();
    });
  });
  EXPECT_EQ(outerLabel, "test.outer");
  EXPECT_EQ(outerSpecific, &value);
  EXPECT_EQ(innerLabel, "test.inner");
  EXPECT_EQ(innerSpecific, nullptr);
  EXPECT_TRUE(outerCurrentInInner);
  EXPECT_EQ(Queue::currentLabel(), "main-thread");
  EXPECT_EQ(outer->specific(&key), &value);

  std::string asyncLabel;
  Semaphore done;
  outer->async([&] {
    asyncLabel = Queue::currentLabel();
    done.signal();
  });
  ASSERT_TRUE(done.waitFor(5 * kNanosPerSecond));
  EXPECT_EQ(asyncLabel, "test.outer");
}

TEST(QueueTest, SpecificFallsThroughToTheTargetQueue) {
  static int key, other, value, ownValue;
  auto target = Queue::serial("test.target");
  auto worker = Queue::serial("test.worker");
  target->setSpecific(&key, &value);
  target->setSpecific(&other, &value);
  worker->setSpecific(&other, &ownValue);
  worker->setTarget(target);
  void* seenKey = nullptr;
  void* seenOther = nullptr;
  worker->sync([&] {
    seenKey = Queue::currentSpecific(&key);
    seenOther = Queue::currentSpecific(&other);
  });
  EXPECT_EQ(seenKey, &value);
  EXPECT_EQ(seenOther, &ownValue);
  EXPECT_THROW(target->setTarget(worker), ns::Exception);
  worker->setTarget(Queue::global(Priority::Background));
  EXPECT_EQ(worker->priority(), Priority::Background);
}

TEST(QueueTest, ReentrantSyncThrowsInsteadOfDeadlocking) {
  auto a = Queue::serial("test.reentrant.a");
  auto b = Queue::serial("test.reentrant.b");
  auto c = Queue::concurrent("test.reentrant.c");
  struct Case {
    const char* what;
    std::function<void()> run;
  };
  std::vector<Case> cases = {
      {"sync on itself", [&] { a->sync([&] { a->sync([] {}); }); }},
      {"through another queue", [&] { a->sync([&] { b->sync([&] { a->sync([] {}); }); }); }},
      {"barrier inside its own concurrent block", [&] { c->sync([&] { c->syncBarrier([] {}); }); }},
      {"main queue from the main thread", [&] { Queue::main()->sync([] {}); }},
  };
  for (auto& c : cases) {
    bool threw = false;
    try {
      c.run();
    } catch (const ns::Exception& e) {
      threw = true;
      EXPECT_EQ(e.name(), ns::kInternalInconsistencyException) << c.what;
    }
    EXPECT_TRUE(threw) << c.what;
  }
  // The queues still work after the refusals.
  int ran = 0;
  a->sync([&] { ++ran; });
  c->sync([&] { c->sync([&] { ++ran; }); });  // nesting plain syncs on a concurrent queue is fine
  EXPECT_EQ(ran, 2);
}

TEST(QueueTest, SuspendHoldsBlocksUntilResumed) {
  auto queue = Queue::serial("test.suspend");
  std::atomic<int> ran{0};
  queue->suspend();
  queue->async([&] { ran++; });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ran.load(), 0);
  queue->resume();
  queue->sync([] {});
  EXPECT_EQ(ran.load(), 1);
  EXPECT_THROW(queue->resume(), ns::Exception);
}

TEST(QueueTest, GlobalQueuesAreConcurrentAndDistinctByPriority) {
  EXPECT_EQ(Queue::global(Priority::Background)->kind(), Queue::Kind::Concurrent);
  EXPECT_NE(Queue::global(Priority::High), Queue::global(Priority::Background));
  EXPECT_EQ(Queue::global(), Queue::global(Priority::Default));
  Group group;
  std::atomic<int> ran{0};
  for (auto p : {Priority::High, Priority::Default, Priority::Utility, Priority::Background}) {
    group.async(Queue::global(p), [&] { ran++; });
  }
  EXPECT_TRUE(group.waitFor(5 * kNanosPerSecond));
  EXPECT_EQ(ran.load(), 4);
}

TEST(QueueTest, QueuedBlocksKeepTheirQueueAlive) {
  std::atomic<bool> ran{false};
  Semaphore done;
  {
    auto queue = Queue::serial("test.transient");
    queue->async([] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); });
    queue->async([&] {
      ran = true;
      done.signal();
    });
  }
  ASSERT_TRUE(done.waitFor(5 * kNanosPerSecond));
  EXPECT_TRUE(ran.load());
}

}  // namespace
}  // namespace dispatch
