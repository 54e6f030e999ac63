// LKLoggingContextSet: a set of context numbers, safe to use from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

class LKLoggingContextSet {
 public:
  void addToSet(int64_t context) {
    std::lock_guard lock(mutex_);
    set_.insert(context);
  }
  void removeFromSet(int64_t context) {
    std::lock_guard lock(mutex_);
    set_.erase(context);
  }
  bool isInSet(int64_t context) const {
    std::lock_guard lock(mutex_);
    return set_.count(context) != 0;
  }
  std::vector<int64_t> currentSet() const {
    std::lock_guard lock(mutex_);
    return {set_.begin(), set_.end()};
  }

 private:
  mutable std::mutex mutex_;
  std::set<int64_t> set_;
};
