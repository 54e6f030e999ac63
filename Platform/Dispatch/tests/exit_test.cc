// How the dispatch layer ends with the process.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/Semaphore.h"

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

}  // namespace
}  // namespace dispatch
