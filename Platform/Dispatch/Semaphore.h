// A counting semaphore with timed waits on the dispatch time axis.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "Platform/Dispatch/Time.h"

namespace dispatch {

// Copies refer to the same semaphore, so a block may capture one by value.
class Semaphore {
 public:
  explicit Semaphore(long value = 0);

  // Returns whether a waiter was woken.
  bool signal();
  // Takes one unit; false when `deadline` passed first.
  bool wait(Time deadline = kTimeForever);
  bool waitFor(int64_t timeoutNanos) { return wait(timeAfter(timeoutNanos)); }
  // Threads blocked in wait now.
  long waiting() const;

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    long value = 0;
    long waiters = 0;
  };
  std::shared_ptr<State> state_;
};

}  // namespace dispatch
