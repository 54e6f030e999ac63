// LKAtomicCounter: a signed 32-bit counter changed atomically by one.
#pragma once

#include <atomic>
#include <cstdint>

class LKAtomicCounter {
 public:
  explicit LKAtomicCounter(int32_t defaultValue = 0) : value_(defaultValue) {}
  // Each returns the new value.
  int32_t increment() { return ++value_; }
  int32_t decrement() { return --value_; }
  int32_t value() const { return value_.load(); }

 private:
  std::atomic<int32_t> value_;
};
