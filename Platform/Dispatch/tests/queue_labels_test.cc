// The published label table, read from another thread as a crash handler
// would: each worker shows its innermost queue, and nothing once it leaves.
#include "Platform/Dispatch/QueueLabels.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/Semaphore.h"

namespace dispatch {
namespace {

pid_t currentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

std::string publishedLabel(pid_t thread) {
  const auto* address = queueLabelAddress(thread);
  if (address == nullptr) return "<none>";
  const char* label = address->load();
  return label != nullptr ? label : "<null>";
}

TEST(QueueLabelsTest, AWorkerShowsItsInnermostQueueWhileItRuns) {
  auto outer = Queue::serial("labels.outer");
  auto inner = Queue::serial("labels.inner");
  Semaphore reached, go;
  std::atomic<pid_t> worker{0};
  std::string insideInner;
  outer->async([&] {
    worker = currentThreadId();
    inner->sync([&] { insideInner = publishedLabel(currentThreadId()); });
    reached.signal();
    go.wait();
  });
  reached.wait();
  EXPECT_EQ(insideInner, "labels.inner");
  EXPECT_EQ(publishedLabel(worker), "labels.outer");  // back in the outer block
  go.signal();
  outer->sync([] {});
  // The caller of sync held its own entry only during the sync.
  EXPECT_EQ(publishedLabel(currentThreadId()), "<none>");
}

TEST(QueueLabelsTest, AThreadOnNoQueueHasNoEntry) {
  EXPECT_EQ(queueLabelAddress(0), nullptr);
  EXPECT_EQ(queueLabelAddress(currentThreadId()), nullptr);
}

}  // namespace
}  // namespace dispatch
