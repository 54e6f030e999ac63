// Waiting on a condition with a deadline on the dispatch time axis. With a
// virtual clock the deadline passes only when the clock is moved, so the
// wait polls the clock in short real-time slices.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "Platform/Dispatch/Time.h"
#include "Platform/Foundation/Clock.h"

namespace dispatch::detail {

template <class Predicate>
bool waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Time deadline,
               Predicate ready) {
  using namespace std::chrono;
  while (!ready()) {
    if (deadline == kTimeForever) {
      cv.wait(lock);
      continue;
    }
    uint64_t now = ns::Clock::uptimeNanos();
    if (now >= deadline) return false;
    if (ns::Clock::isVirtual()) {
      cv.wait_for(lock, milliseconds(5));
    } else {
      cv.wait_for(lock, std::min<nanoseconds>(nanoseconds(deadline - now), milliseconds(100)));
    }
  }
  return true;
}

}  // namespace dispatch::detail
