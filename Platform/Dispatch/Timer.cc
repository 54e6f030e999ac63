#include "Platform/Dispatch/Timer.h"

#include <cmath>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/detail/Scheduler.h"
#include "Platform/Foundation/Clock.h"

namespace dispatch {

Timer::Timer(ns::Date fireDate, double interval, bool repeats, Handler handler, ns::Value userInfo)
    : fireDate_(fireDate),
      interval_(interval > 0 ? interval : 0.0001),  // the platform's floor for a zero interval
      repeats_(repeats),
      handler_(std::move(handler)),
      userInfo_(std::move(userInfo)) {}

Timer::~Timer() = default;

std::shared_ptr<Timer> Timer::create(ns::Date fireDate, double interval, bool repeats, Handler handler,
                                     ns::Value userInfo) {
  return std::shared_ptr<Timer>(new Timer(fireDate, interval, repeats, std::move(handler), std::move(userInfo)));
}

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Handler handler, ns::Value userInfo) {
  auto timer = create(ns::Clock::now().addingTimeInterval(std::max(interval, 0.0)), interval, repeats,
                      std::move(handler), std::move(userInfo));
  timer->schedule();
  return timer;
}

void Timer::schedule() {
  std::lock_guard lock(mutex_);
  if (scheduled_ || !valid_) return;
  scheduled_ = true;
  arm();
}

// Fire dates are wall dates, but a timer keeps to uptime like the
// platform's: changing the device's clock does not move it.
void Timer::arm() {
  double left = fireDate_.timeIntervalSince(ns::Clock::now());
  uint64_t generation = ++generation_;
  auto self = shared_from_this();
  schedulerId_ = detail::Scheduler::shared().at(timeAfterSeconds(left), [self, generation] {
    RunLoop::main().perform([self, generation] { self->fired(generation); });
  });
}

void Timer::disarm() {
  ++generation_;
  if (schedulerId_) detail::Scheduler::shared().cancel(schedulerId_);
  schedulerId_ = 0;
}

void Timer::fired(uint64_t generation) {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    if (!valid_ || generation != generation_) return;
    schedulerId_ = 0;
    if (repeats_) {
      // Missed fire times are skipped: the next one is the first ahead.
      double late = ns::Clock::now().timeIntervalSince(fireDate_);
      double steps = std::max(1.0, std::floor(late / interval_) + 1);
      fireDate_ = fireDate_.addingTimeInterval(steps * interval_);
      arm();
    } else {
      valid_ = false;
    }
    handler = handler_;
  }
  if (handler) handler(*this);
  if (!valid_) {
    std::lock_guard lock(mutex_);
    handler_ = nullptr;  // lets go of what the handler captured
  }
}

void Timer::fire() {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    if (!valid_) return;
    handler = handler_;
  }
  if (handler) handler(*this);
  if (!repeats_) invalidate();
}

void Timer::invalidate() {
  Handler dropped;
  std::lock_guard lock(mutex_);
  valid_ = false;
  disarm();
  dropped.swap(handler_);
}

ns::Date Timer::fireDate() const {
  std::lock_guard lock(mutex_);
  return fireDate_;
}

void Timer::setFireDate(ns::Date date) {
  std::lock_guard lock(mutex_);
  fireDate_ = date;
  if (scheduled_ && valid_) {
    disarm();
    arm();
  }
}

}  // namespace dispatch
