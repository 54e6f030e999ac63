// Locks: a plain mutex (Lock), a recursive one (RecursiveLock) and
// synchronized(object), the platform's per-object recursive lock.
#pragma once

#include <mutex>

#include "Platform/Dispatch/RecursiveLock.h"
#include "Platform/Dispatch/Synchronized.h"

namespace dispatch {

// Non-recursive; satisfies Lockable, so std::lock_guard works.
class Lock {
 public:
  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool try_lock() { return mutex_.try_lock(); }
  bool tryLock() { return try_lock(); }

 private:
  std::mutex mutex_;
};

}  // namespace dispatch
