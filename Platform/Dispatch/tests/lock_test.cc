#include "Platform/Dispatch/Lock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace dispatch {
namespace {

TEST(LockTest, LocksExcludeEachOtherAcrossThreads) {
  Lock lock;
  RecursiveLock recursive;
  int plain = 0, nested = 0, perObject = 0;
  int object = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        {
          std::lock_guard guard(lock);
          ++plain;
        }
        {
          std::lock_guard outer(recursive);
          std::lock_guard inner(recursive);  // the same thread may take it again
          ++nested;
        }
        synchronized(&object, [&] {
          synchronized(&object, [&] { ++perObject; });  // recursive like the platform's
        });
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(plain, 8000);
  EXPECT_EQ(nested, 8000);
  EXPECT_EQ(perObject, 8000);
}

TEST(LockTest, SynchronizedOnDifferentObjectsDoesNotBlock) {
  int a = 0, b = 0;
  bool ranInside = false;
  synchronized(&a, [&] {
    std::thread other([&] { synchronized(&b, [&] { ranInside = true; }); });
    other.join();  // would hang if both objects shared one lock
  });
  EXPECT_TRUE(ranInside);
  EXPECT_EQ(synchronized(&a, [] { return 7; }), 7);
}

TEST(LockTest, TryLockFailsWhileHeldElsewhere) {
  Lock lock;
  lock.lock();
  bool got = true;
  std::thread other([&] { got = lock.tryLock(); });
  other.join();
  EXPECT_FALSE(got);
  lock.unlock();
  EXPECT_TRUE(lock.tryLock());
  lock.unlock();
}

}  // namespace
}  // namespace dispatch
