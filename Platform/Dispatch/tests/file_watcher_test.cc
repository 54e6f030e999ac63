#include "Platform/Dispatch/FileWatcher.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "Platform/Dispatch/Semaphore.h"

namespace dispatch {
namespace {

class FileWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quillbox-watch-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = dir_ / "watched.txt";
    std::ofstream(path_) << "hello";
    fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    if (watcher_) watcher_->cancel();
    watcher_.reset();
    if (fd_ >= 0) close(fd_);
    std::filesystem::remove_all(dir_);
  }

  // Watches the file and records what arrives.
  void watch(unsigned mask) {
    watcher_ = FileWatcher::create(fd_, mask, queue_);
    ASSERT_NE(watcher_, nullptr);
    watcher_->setEventHandler([this](unsigned events) {
      std::lock_guard lock(mutex_);
      seen_ |= events;
      arrived_.signal();
    });
    watcher_->resume();
  }
  // Waits for events until `want` is all there (or five seconds pass).
  unsigned waitFor(unsigned want) {
    for (int i = 0; i < 50; ++i) {
      {
        std::lock_guard lock(mutex_);
        if ((seen_ & want) == want) return seen_;
      }
      arrived_.waitFor(100 * kNanosPerMillisecond);
    }
    std::lock_guard lock(mutex_);
    return seen_;
  }
  unsigned seen() {
    queue_->sync([] {});
    std::lock_guard lock(mutex_);
    return seen_;
  }

  std::filesystem::path dir_, path_;
  int fd_ = -1;
  std::shared_ptr<Queue> queue_ = Queue::serial("test.watch");
  std::shared_ptr<FileWatcher> watcher_;
  std::mutex mutex_;
  unsigned seen_ = 0;
  Semaphore arrived_;
};

TEST_F(FileWatcherTest, ReportsDeleteOfAnOpenFile) {
  watch(FileWatcher::kDelete | FileWatcher::kRename);
  ASSERT_EQ(unlink(path_.c_str()), 0);
  EXPECT_EQ(waitFor(FileWatcher::kDelete), FileWatcher::kDelete);
}

TEST_F(FileWatcherTest, ReportsRenameAndKeepsWatchingTheFileUnderItsNewName) {
  watch(FileWatcher::kDelete | FileWatcher::kRename);
  auto moved = dir_ / "moved.txt";
  ASSERT_EQ(rename(path_.c_str(), moved.c_str()), 0);
  EXPECT_EQ(waitFor(FileWatcher::kRename), FileWatcher::kRename);
  ASSERT_EQ(unlink(moved.c_str()), 0);
  EXPECT_EQ(waitFor(FileWatcher::kDelete) & FileWatcher::kDelete, FileWatcher::kDelete);
}

TEST_F(FileWatcherTest, ReportsOnlyTheEventsAskedFor) {
  watch(FileWatcher::kDelete);
  // A write and a rename are not in the mask; the delete is.
  {
    std::ofstream(path_, std::ios::app) << " world";
  }
  auto moved = dir_ / "moved.txt";
  ASSERT_EQ(rename(path_.c_str(), moved.c_str()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(seen(), 0u);
  ASSERT_EQ(unlink(moved.c_str()), 0);
  EXPECT_EQ(waitFor(FileWatcher::kDelete), FileWatcher::kDelete);
}

TEST_F(FileWatcherTest, WriteAndExtendWhenAskedFor) {
  watch(FileWatcher::kWrite | FileWatcher::kExtend);
  {
    std::ofstream(path_, std::ios::app) << " world";
  }
  EXPECT_EQ(waitFor(FileWatcher::kWrite | FileWatcher::kExtend), FileWatcher::kWrite | FileWatcher::kExtend);
}

TEST_F(FileWatcherTest, CancelStopsReportsAndRunsTheCancelHandler) {
  watch(FileWatcher::kDelete);
  Semaphore cancelled;
  watcher_->setCancelHandler([&] { cancelled.signal(); });
  watcher_->cancel();
  EXPECT_TRUE(cancelled.waitFor(5 * kNanosPerSecond));
  ASSERT_EQ(unlink(path_.c_str()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(seen(), 0u);
  EXPECT_TRUE(watcher_->isCancelled());
}

TEST(FileWatcherCreateTest, BadDescriptorIsAnError) {
  ns::Error error;
  EXPECT_EQ(FileWatcher::create(-1, FileWatcher::kDelete, Queue::global(), &error), nullptr);
  EXPECT_EQ(error.domain(), ns::kPOSIXErrorDomain);
  EXPECT_EQ(error.code(), EBADF);
}

}  // namespace
}  // namespace dispatch
