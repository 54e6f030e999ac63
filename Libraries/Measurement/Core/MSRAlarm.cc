#include "Libraries/Measurement/Core/MSRAlarm.h"

#include <cmath>
#include <cstdint>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Platform/Dispatch/TimerSource.h"

namespace {

// delay x 1e9 as 64-bit nanoseconds, saturated: the plain conversion is
// undefined for infinities and for delays past about 292 years.
int64_t nanosecondsOf(double delay) {
  const double nanos = delay * 1e9;
  if (nanos >= 9223372036854775807.0) return INT64_MAX;
  if (nanos <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(nanos);
}

}  // namespace

MSRAlarm::MSRAlarm(std::shared_ptr<dispatch::Queue> queue, std::string name)
    : queue_(std::move(queue)), name_(name.empty() ? "Timer" : std::move(name)) {}

std::shared_ptr<MSRAlarm> MSRAlarm::initWithDispatchQueue(std::shared_ptr<dispatch::Queue> queue,
                                                          const std::string& name) {
  return std::shared_ptr<MSRAlarm>(new MSRAlarm(std::move(queue), name));
}

MSRAlarm::~MSRAlarm() {
  std::lock_guard lock(mutex_);
  cancelLocked();
}

void MSRAlarm::runAfterDelay(double delay, std::function<void()> block) {
  auto monitor = MSRMeasurement::monitor();
  if (!block) {
    monitor->logWithLevel(1, 2000, name_ + " tried to schedule an empty block");
    return;
  }
  if (std::isnan(delay)) {
    monitor->logWithLevel(1, 2000, name_ + " tried to schedule a block after a delay that is not a number");
    return;
  }
  {
    std::lock_guard lock(mutex_);
    cancelLocked();
    const int64_t nanos = nanosecondsOf(delay);
    const ns::Date due = ns::Date::now().addingTimeInterval(static_cast<double>(nanos) / 1e9);
    scheduledTimestamp_ = due;
    auto timer = dispatch::TimerSource::create(queue_);
    std::weak_ptr<MSRAlarm> weak = weak_from_this();
    std::weak_ptr<dispatch::TimerSource> weakTimer = timer;
    timer->setEventHandler([weak, weakTimer, block = std::move(block)] {
      auto self = weak.lock();
      auto firing = weakTimer.lock();
      if (self && firing) self->fired(firing, block);
    });
    timer->setWallTimer(due, dispatch::TimerSource::kOneShot, 0);
    timer->resume();
    timer_ = std::move(timer);
  }
  monitor->logWithLevel(7, 2002, name_ + " scheduled to fire in approx. (s)", delay);
}

void MSRAlarm::fired(const std::shared_ptr<dispatch::TimerSource>& timer, const std::function<void()>& block) {
  {
    std::lock_guard lock(mutex_);
    // A firing that a re-arm overtook belongs to a cancelled timer.
    if (timer_ != timer) return;
    MSRMeasurement::monitor()->logWithLevel(7, 2001, name_ + " fired");
    cancelLocked();
  }
  block();
}

void MSRAlarm::cancel() {
  std::lock_guard lock(mutex_);
  cancelLocked();
}

void MSRAlarm::cancelLocked() {
  if (!scheduledTimestamp_) return;
  auto monitor = MSRMeasurement::monitor();
  monitor->logWithLevel(7, 2003, name_ + " canceled");
  if (timer_ && !timer_->isCancelled()) {
    timer_->cancel();
  } else {
    monitor->logWithLevel(4, 2004, name_ + " is not active");
  }
  timer_.reset();
  scheduledTimestamp_.reset();
}

bool MSRAlarm::hasActiveTimer() const {
  std::lock_guard lock(mutex_);
  return timer_ && !timer_->isCancelled();
}

std::optional<ns::Date> MSRAlarm::scheduledTimestamp() const {
  std::lock_guard lock(mutex_);
  return scheduledTimestamp_;
}
