#include "Platform/Dispatch/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Foundation/Error.h"

namespace dispatch {
namespace {

TEST(OperationQueueTest, SerialQueueRunsInOrderOneAtATime) {
  auto queue = OperationQueue::create("test.ops");
  queue->setMaxConcurrentOperationCount(1);
  std::vector<int> order;
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
  for (int i = 0; i < 50; ++i) {
    queue->addOperation([&, i] {
      if (running.fetch_add(1) != 0) overlapped = true;
      EXPECT_EQ(OperationQueue::current(), queue);
      order.push_back(i);
      running.fetch_sub(1);
    });
  }
  queue->waitUntilAllOperationsAreFinished();
  ASSERT_EQ(order.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
  EXPECT_FALSE(overlapped.load());
  EXPECT_EQ(queue->operationCount(), 0u);
}

TEST(OperationQueueTest, SuspendedQueueHoldsOperationsAndCancelledOnesSkipTheirBody) {
  auto queue = OperationQueue::create("test.ops.suspend");
  queue->setSuspended(true);
  std::atomic<int> ran{0};
  std::atomic<int> completions{0};
  auto kept = Operation::withBlock([&] { ran += 1; });
  auto dropped = Operation::withBlock([&] { ran += 100; });
  dropped->setCompletionBlock([&] { completions++; });
  queue->addOperation(kept);
  queue->addOperation(dropped);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ran.load(), 0);
  EXPECT_EQ(queue->operationCount(), 2u);
  dropped->cancel();
  queue->setSuspended(false);
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(ran.load(), 1);
  EXPECT_TRUE(dropped->isFinished());
  EXPECT_TRUE(dropped->isCancelled());
  EXPECT_EQ(completions.load(), 1) << "a cancelled operation still completes";
}

TEST(OperationQueueTest, CancelAllReachesRunningAndQueuedOperations) {
  auto queue = OperationQueue::create("test.ops.cancelall");
  queue->setMaxConcurrentOperationCount(1);
  Semaphore started;
  std::atomic<bool> sawCancel{false};
  std::atomic<bool> secondRan{false};
  std::shared_ptr<Operation> running;
  running = Operation::withBlock([&] {
    started.signal();
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!running->isCancelled() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    sawCancel = running->isCancelled();
  });
  queue->addOperation(running);
  queue->addOperation([&] { secondRan = true; });
  ASSERT_TRUE(started.waitFor(5 * kNanosPerSecond));
  queue->cancelAllOperations();
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_TRUE(sawCancel.load());
  EXPECT_FALSE(secondRan.load());
}

TEST(OperationQueueTest, DependenciesAcrossQueuesOrderTheWork) {
  auto a = OperationQueue::create("test.ops.a");
  auto b = OperationQueue::create("test.ops.b");
  a->setSuspended(true);
  std::vector<std::string> order;
  std::mutex mutex;
  auto first = Operation::withBlock([&] {
    std::lock_guard lock(mutex);
    order.push_back("first");
  });
  auto second = Operation::withBlock([&] {
    std::lock_guard lock(mutex);
    order.push_back("second");
  });
  second->addDependency(first);
  b->addOperation(second);
  a->addOperation(first);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(second->isFinished());
  a->setSuspended(false);
  second->waitUntilFinished();
  EXPECT_EQ(order, (std::vector<std::string>{"first", "second"}));
}

// Finishes when told to, from another thread.
class AsyncOperation : public Operation {
 public:
  bool isAsynchronous() const override { return true; }
  void complete() { finish(); }
  std::atomic<bool> started{false};

 protected:
  void main() override { started = true; }
};

TEST(OperationQueueTest, AsynchronousOperationHoldsItsSlotUntilItFinishes) {
  auto queue = OperationQueue::create("test.ops.async");
  queue->setMaxConcurrentOperationCount(1);
  auto async = std::make_shared<AsyncOperation>();
  std::atomic<bool> nextRan{false};
  queue->addOperation(async);
  queue->addOperation([&] { nextRan = true; });
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!async->started && std::chrono::steady_clock::now() < until) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(async->isExecuting());
  EXPECT_FALSE(nextRan.load());
  std::thread([&] { async->complete(); }).join();
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_TRUE(async->isFinished());
  EXPECT_TRUE(nextRan.load());
}

TEST(OperationQueueTest, RunsOnTheUnderlyingQueueWhenOneIsSet) {
  auto queue = OperationQueue::create("test.ops.underlying");
  auto serial = Queue::serial("test.ops.serial");
  queue->setUnderlyingQueue(serial);
  EXPECT_EQ(queue->underlyingQueue(), serial);
  std::string label;
  queue->addOperation([&] { label = Queue::currentLabel(); });
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(label, "test.ops.serial");
  EXPECT_EQ(OperationQueue::main()->underlyingQueue(), Queue::main());
}

TEST(OperationQueueTest, MainQueueRunsOnTheMainThreadWhenPumped) {
  std::atomic<bool> ran{false};
  std::atomic<bool> onMain{false};
  std::thread background([&] {
    OperationQueue::main()->addOperation([&] {
      onMain = isMainThread() && OperationQueue::current() == OperationQueue::main();
      ran = true;
    });
  });
  background.join();
  EXPECT_TRUE(OperationQueue::main()->isCurrent());
  EXPECT_THROW(OperationQueue::main()->waitUntilAllOperationsAreFinished(), ns::Exception);
  EXPECT_TRUE(RunLoop::main().runUntil([&] { return ran.load(); }, 5));
  EXPECT_TRUE(onMain.load());
}

}  // namespace
}  // namespace dispatch
