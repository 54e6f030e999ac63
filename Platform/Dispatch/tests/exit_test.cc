// How the dispatch layer ends with the process.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Dispatch/Shutdown.h"

namespace dispatch {
namespace {

TEST(ExitTest, ExitWhileAWorkerWaitsOnTheMainQueueFinishesCleanly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Semaphore inside;
        auto queue = Queue::serial("test.exit");
        queue->async([&] {
          inside.signal();
          // The main thread never pumps again; the exit must still end.
          Queue::main()->sync([] {});
        });
        queue->async([] { std::abort(); });  // queued behind: dropped at exit
        inside.wait();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

// A function-local static first used by a worker is destroyed before the
// layer's own end at exit; shutdown() before returning lets the worker
// finish while it still exists.
struct Tables {
  std::vector<int> values = std::vector<int>(1000, 1);
  ~Tables() { values.clear(); }
};
Tables& sharedTables() {
  static Tables tables;
  return tables;
}

TEST(ExitTest, ShutdownBeforeExitLetsRunningBlocksFinishAndDropsTheRest) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Semaphore inside;
        std::atomic<bool> finished{false};
        auto queue = Queue::serial("test.shutdown");
        queue->async([&] {
          sharedTables();
          inside.signal();
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
          if (sharedTables().values.size() != 1000) std::abort();
          finished = true;
        });
        queue->async([] { std::abort(); });  // queued behind: dropped
        inside.wait();
        shutdown();
        if (!finished) std::abort();
        queue->async([] { std::abort(); });  // after the end: queues nothing
        shutdown();                          // a second call does nothing
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace dispatch
