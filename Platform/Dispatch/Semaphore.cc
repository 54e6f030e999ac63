#include "Platform/Dispatch/Semaphore.h"

#include "Platform/Dispatch/detail/Wait.h"

namespace dispatch {

Semaphore::Semaphore(long value) : state_(std::make_shared<State>()) { state_->value = value; }

bool Semaphore::signal() {
  // A woken waiter may destroy the semaphore at once: hold the state, and
  // notify under the lock.
  auto state = state_;
  std::lock_guard lock(state->mutex);
  ++state->value;
  bool woke = state->waiters > 0;
  if (woke) state->cv.notify_one();
  return woke;
}

bool Semaphore::wait(Time deadline) {
  std::unique_lock lock(state_->mutex);
  ++state_->waiters;
  bool got = detail::waitUntil(state_->cv, lock, deadline, [&] { return state_->value > 0; });
  --state_->waiters;
  if (got) --state_->value;
  return got;
}

long Semaphore::waiting() const {
  std::lock_guard lock(state_->mutex);
  return state_->waiters;
}

}  // namespace dispatch
