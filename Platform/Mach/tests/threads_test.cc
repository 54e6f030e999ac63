// The task's threads on real threads: listing, names, suspension with the
// registers each stored, and threads that exit or block the signal.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Mach/Suspension.h"
#include "Platform/Mach/Threads.h"

namespace {

// A thread blocked in read() on its own pipe until the test writes a byte.
class ReadingThread {
 public:
  explicit ReadingThread(const char* name) {
    EXPECT_EQ(pipe(fds_), 0);
    thread_ = std::thread([this, name] {
      pthread_setname_np(pthread_self(), name);
      pthread_attr_t attr;
      pthread_getattr_np(pthread_self(), &attr);
      void* stack;
      size_t size;
      pthread_attr_getstack(&attr, &stack, &size);
      pthread_attr_destroy(&attr);
      stackLow_ = reinterpret_cast<uintptr_t>(stack);
      stackHigh_ = stackLow_ + size;
      tid_ = mach::currentThread();
      char byte;
      errno = 0;
      result_ = read(fds_[0], &byte, 1);
      readErrno_ = errno;
    });
    while (tid_.load() == 0) std::this_thread::yield();
    // Give it time to block inside read().
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ~ReadingThread() {
    finish();
    close(fds_[0]);
    close(fds_[1]);
  }
  void finish() {
    if (!thread_.joinable()) return;
    EXPECT_EQ(write(fds_[1], "x", 1), 1);
    thread_.join();
  }
  mach::ThreadId tid() const { return tid_; }
  bool stackHolds(uint64_t address) const { return address >= stackLow_ && address < stackHigh_; }
  long result() const { return result_; }
  int readErrno() const { return readErrno_; }

 private:
  int fds_[2];
  std::thread thread_;
  std::atomic<mach::ThreadId> tid_{0};
  uintptr_t stackLow_ = 0, stackHigh_ = 0;
  long result_ = -2;
  int readErrno_ = 0;
};

bool listed(const mach::ThreadList& list, mach::ThreadId thread) {
  for (uint32_t i = 0; i < list.count; ++i)
    if (list.threads[i] == thread) return true;
  return false;
}

TEST(ThreadsTest, ListsEveryThreadWithItsName) {
  ReadingThread first("reader-one"), second("reader-two");
  auto list = std::make_unique<mach::ThreadList>();
  ASSERT_TRUE(mach::taskThreads(list.get()));
  EXPECT_TRUE(listed(*list, mach::currentThread()));
  EXPECT_TRUE(listed(*list, first.tid()));
  EXPECT_TRUE(listed(*list, second.tid()));
  EXPECT_EQ(list->threads[0], getpid());  // the main thread comes first

  char name[64];
  ASSERT_TRUE(mach::threadName(first.tid(), name, sizeof name));
  EXPECT_STREQ(name, "reader-one");
  char small[4];
  mach::threadName(second.tid(), small, sizeof small);
  EXPECT_STREQ(small, "rea");
  EXPECT_FALSE(mach::threadName(999'999'999, name, sizeof name));
  EXPECT_STREQ(name, "");
}

TEST(ThreadsTest, AnUnreadableListIsEmpty) {
  auto list = std::make_unique<mach::ThreadList>();
  list->count = 7;
  EXPECT_FALSE(mach::taskThreads(list.get(), "/proc/self/no-such-task"));
  EXPECT_EQ(list->count, 0u);
}

TEST(SuspensionTest, ParkedThreadsStoreTheirRegistersAndGoOnWithoutEINTR) {
  std::vector<std::unique_ptr<ReadingThread>> threads;
  for (const char* name : {"park-a", "park-b", "park-c"}) threads.push_back(std::make_unique<ReadingThread>(name));
  for (auto& thread : threads) ASSERT_EQ(mach::suspendThread(thread->tid()), mach::SuspendResult::Suspended);
  for (auto& thread : threads) {
    mach::ThreadState state;
    ASSERT_TRUE(mach::suspendedThreadState(thread->tid(), &state));
    EXPECT_TRUE(thread->stackHolds(state.registers[REG_RSP]));
    EXPECT_NE(state.registers[REG_RIP], 0u);
  }
  EXPECT_EQ(mach::suspendThread(mach::currentThread()), mach::SuspendResult::Failed);
  for (auto& thread : threads) EXPECT_TRUE(mach::resumeThread(thread->tid()));
  for (auto& thread : threads) {
    EXPECT_FALSE(mach::resumeThread(thread->tid()));  // no longer parked
    thread->finish();
    EXPECT_EQ(thread->result(), 1);
    EXPECT_EQ(thread->readErrno(), 0);
  }
}

TEST(SuspensionTest, AnExitedThreadIsReportedAsSuch) {
  std::atomic<mach::ThreadId> tid{0};
  std::thread([&] { tid = mach::currentThread(); }).join();
  EXPECT_EQ(mach::suspendThread(tid), mach::SuspendResult::Exited);
}

TEST(SuspensionTest, AThreadBlockingTheSignalIsGivenUpAndGoesOnLater) {
  std::atomic<mach::ThreadId> tid{0};
  std::atomic<bool> unblock{false}, done{false};
  std::thread blocker([&] {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, mach::captureSignal());
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    tid = mach::currentThread();
    while (!unblock) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);  // the pending signal runs here and returns at once
    done = true;
  });
  while (tid == 0) std::this_thread::yield();
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(mach::suspendThread(tid, 50), mach::SuspendResult::NoAnswer);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  mach::ThreadState state;
  EXPECT_FALSE(mach::suspendedThreadState(tid, &state));
  unblock = true;
  blocker.join();
  EXPECT_TRUE(done);
}

}  // namespace
