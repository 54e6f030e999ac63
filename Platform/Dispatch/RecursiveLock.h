// A lock the owning thread may take again; released after as many unlocks.
#pragma once

#include <mutex>

namespace dispatch {

class RecursiveLock {
 public:
  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool try_lock() { return mutex_.try_lock(); }
  bool tryLock() { return try_lock(); }

 private:
  std::recursive_mutex mutex_;
};

}  // namespace dispatch
