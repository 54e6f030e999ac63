#include "Platform/Dispatch/TimerSource.h"

#include "Platform/Dispatch/detail/Scheduler.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Error.h"

namespace dispatch {

TimerSource::TimerSource(std::shared_ptr<Queue> queue) : queue_(std::move(queue)) {}

TimerSource::~TimerSource() = default;

std::shared_ptr<TimerSource> TimerSource::create(std::shared_ptr<Queue> queue) {
  if (!queue) queue = Queue::global();
  return std::shared_ptr<TimerSource>(new TimerSource(std::move(queue)));
}

void TimerSource::setEventHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  if (!cancelled_) handler_ = std::move(handler);
}

void TimerSource::setCancelHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  if (!cancelled_) cancelHandler_ = std::move(handler);
}

void TimerSource::setTimer(Time start, uint64_t intervalNanos, uint64_t) {
  std::lock_guard lock(mutex_);
  if (cancelled_) return;
  wall_ = false;
  start_ = start == kTimeNow ? ns::Clock::uptimeNanos() : start;
  interval_ = intervalNanos == 0 ? kOneShot : intervalNanos;
  pendingCount_ = 0;
  arm();
}

void TimerSource::setWallTimer(ns::Date start, uint64_t intervalNanos, uint64_t) {
  std::lock_guard lock(mutex_);
  if (cancelled_) return;
  wall_ = true;
  wallStart_ = start;
  interval_ = intervalNanos == 0 ? kOneShot : intervalNanos;
  pendingCount_ = 0;
  arm();
}

// Called with the mutex held.
void TimerSource::arm() {
  uint64_t generation = ++generation_;
  if (schedulerId_) detail::Scheduler::shared().cancel(schedulerId_);
  schedulerId_ = 0;
  if (cancelled_ || suspendCount_ > 0) return;
  auto self = shared_from_this();
  if (wall_) {
    schedulerId_ = detail::Scheduler::shared().atWall(wallStart_, [self, generation] {
      self->onFire(generation, ns::Clock::uptimeNanos());
    });
  } else if (start_ != kTimeForever && start_ <= ns::Clock::uptimeNanos()) {
    // Already due (a late resume): deliver now rather than wait for the
    // clock to move again.
    fireLocked(start_);
  } else if (start_ != kTimeForever) {
    Time deadline = start_;
    schedulerId_ = detail::Scheduler::shared().at(deadline, [self, generation, deadline] {
      self->onFire(generation, deadline);
    });
  }
}

void TimerSource::onFire(uint64_t generation, uint64_t deadline) {
  std::lock_guard lock(mutex_);
  if (generation != generation_ || cancelled_) return;
  schedulerId_ = 0;
  fireLocked(deadline);
}

void TimerSource::fireLocked(uint64_t deadline) {
  uint64_t count = 1;
  if (interval_ == kOneShot) {
    start_ = kTimeForever;
    wall_ = false;
  } else {
    // Fire times missed (a late wake, a big jump of a virtual clock) are
    // counted, not replayed.
    uint64_t now = ns::Clock::uptimeNanos();
    if (now > deadline) count = (now - deadline) / interval_ + 1;
    start_ = deadline + count * interval_;
    wall_ = false;
    arm();
  }
  pendingCount_ += count;
  if (handlerPending_) return;
  handlerPending_ = true;
  auto self = shared_from_this();
  queue_->async([self] {
    std::function<void()> handler;
    {
      std::lock_guard lock(self->mutex_);
      self->handlerPending_ = false;
      if (self->cancelled_ || self->pendingCount_ == 0) return;
      self->data_ = self->pendingCount_;
      self->pendingCount_ = 0;
      handler = self->handler_;
    }
    if (handler) handler();
  });
}

void TimerSource::resume() {
  std::lock_guard lock(mutex_);
  if (suspendCount_ == 0) {
    throw ns::Exception(ns::kInternalInconsistencyException, "dispatch: timer source resumed more often than suspended");
  }
  if (--suspendCount_ == 0) arm();
}

void TimerSource::suspend() {
  std::lock_guard lock(mutex_);
  if (suspendCount_++ == 0) arm();  // disarms while suspended
}

void TimerSource::cancel() {
  std::function<void()> cancelHandler;
  std::function<void()> handler;
  {
    std::lock_guard lock(mutex_);
    if (cancelled_) return;
    cancelled_ = true;
    arm();  // disarms
    cancelHandler.swap(cancelHandler_);
    // Handlers often capture the source: dropping them breaks the cycle.
    handler.swap(handler_);
  }
  if (cancelHandler) queue_->async(std::move(cancelHandler));
}

bool TimerSource::isCancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

uint64_t TimerSource::data() const {
  std::lock_guard lock(mutex_);
  return data_;
}

}  // namespace dispatch
