// Alternate signal stacks are per thread: a handler that must run when a
// block overflows its worker's stack needs one on that worker.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/Thread.h"
#include "Platform/Dispatch/detail/WorkerSignalStack.h"

namespace {

TEST(WorkerSignalStackTest, EveryWorkerRunsWithAnAlternateStackOfItsOwn) {
  auto first = dispatch::Queue::serial("test.first");
  auto second = dispatch::Queue::serial("test.second");
  stack_t seen[2]{};
  // Both blocks wait for each other, so they run on two workers at once.
  std::atomic<int> arrived{0}, done{0};
  auto body = [&](int i) {
    sigaltstack(nullptr, &seen[i]);
    ++arrived;
    while (arrived < 2) std::this_thread::yield();
    ++done;
  };
  first->async([&] { body(0); });
  second->async([&] { body(1); });
  while (done < 2) std::this_thread::yield();
  for (const stack_t& stack : seen) {
    EXPECT_EQ(stack.ss_flags & SS_DISABLE, 0);
    EXPECT_EQ(stack.ss_size, dispatch::detail::kWorkerSignalStackSize);
  }
  EXPECT_NE(seen[0].ss_sp, seen[1].ss_sp);
}

}  // namespace

namespace {

TEST(WorkerSignalStackTest, AStartedThreadHasItsOwnStackAndNameAndGivesThemBack) {
  struct Case {
    const char* name;
    const char* expected;  // what the kernel shows; null: the process's name
  } cases[] = {{"quillbox-test", "quillbox-test"}, {nullptr, nullptr}};
  char own[16] = {};
  pthread_getname_np(pthread_self(), own, sizeof own);
  for (const Case& c : cases) {
    stack_t seen{};
    stack_t after{};
    char name[16] = {};
    std::thread thread = dispatch::startThread(
        [&] {
          sigaltstack(nullptr, &seen);
          pthread_getname_np(pthread_self(), name, sizeof name);
        },
        c.name);
    thread.join();
    EXPECT_EQ(seen.ss_flags & SS_DISABLE, 0);
    EXPECT_EQ(seen.ss_size, dispatch::detail::kWorkerSignalStackSize);
    EXPECT_STREQ(name, c.expected != nullptr ? c.expected : own);
    // This thread's own alternate stack is not the started thread's.
    sigaltstack(nullptr, &after);
    EXPECT_NE(after.ss_sp, seen.ss_sp);
  }
}

}  // namespace
