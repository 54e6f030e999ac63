// The notification centre delivering through real dispatch queues.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace dispatch {
namespace {

TEST(NotificationDeliveryTest, ReachesObserversOnTheQueuesTheyAskedFor) {
  ns::NotificationCenter center;
  auto serial = Queue::serial("test.observer");
  std::string serialLabel;
  std::atomic<bool> mainRan{false}, mainOnMainThread{false};
  std::atomic<bool> postingThreadRan{false};
  std::thread::id postingThread;
  Semaphore serialDone;
  auto t1 = center.addObserver("Saved", nullptr, serial, [&](const ns::Notification&) {
    serialLabel = Queue::currentLabel();
    serialDone.signal();
  });
  auto t2 = center.addObserver("Saved", nullptr, OperationQueue::main(), [&](const ns::Notification&) {
    mainOnMainThread = isMainThread();
    mainRan = true;
  });
  auto t3 = center.addObserver("Saved", nullptr, nullptr, [&](const ns::Notification&) {
    postingThreadRan = std::this_thread::get_id() == postingThread;
  });
  std::thread poster([&] {
    postingThread = std::this_thread::get_id();
    center.post("Saved");
  });
  poster.join();
  EXPECT_TRUE(postingThreadRan.load());
  ASSERT_TRUE(serialDone.waitFor(5 * kNanosPerSecond));
  EXPECT_EQ(serialLabel, "test.observer");
  EXPECT_FALSE(mainRan.load()) << "main-queue observers wait for the main loop";
  EXPECT_TRUE(RunLoop::main().runUntil([&] { return mainRan.load(); }, 5));
  EXPECT_TRUE(mainOnMainThread.load());

  // Posted on the main thread to a main-queue observer: delivered in place.
  mainRan = false;
  center.post("Saved");
  EXPECT_TRUE(mainRan.load());
  serial->sync([] {});
}

}  // namespace
}  // namespace dispatch
