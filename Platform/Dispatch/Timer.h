// Run-loop timers: fire a block on the main run loop at a time of
// ns::Clock, once or repeatedly, until invalidated.
//
// A repeating timer that missed several fire times (a late loop, a big jump
// of the virtual clock) fires once and then keeps its schedule from now.
// A scheduled timer stays alive while valid: the run loop holds it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Value.h"

namespace dispatch {

class Timer : public std::enable_shared_from_this<Timer> {
 public:
  using Handler = std::function<void(Timer&)>;

  // A timer already scheduled on the main run loop, first firing
  // `interval` seconds from now.
  static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Handler handler,
                                          ns::Value userInfo = {});
  // A timer not yet scheduled; schedule() adds it to the main run loop.
  static std::shared_ptr<Timer> create(ns::Date fireDate, double interval, bool repeats,
                                       Handler handler, ns::Value userInfo = {});

  ~Timer();

  void schedule();
  // Stops the timer for good; the run loop lets go of it. Safe from any
  // thread and from inside the handler.
  void invalidate();
  bool isValid() const { return valid_; }
  // Fires now without changing the schedule (a one-shot timer is then
  // invalidated).
  void fire();

  ns::Date fireDate() const;
  // Moves the next firing.
  void setFireDate(ns::Date date);
  double timeInterval() const { return repeats_ ? interval_ : 0; }
  bool repeats() const { return repeats_; }
  double tolerance() const { return tolerance_; }
  void setTolerance(double seconds) { tolerance_ = seconds; }
  const ns::Value& userInfo() const { return userInfo_; }

 private:
  Timer(ns::Date fireDate, double interval, bool repeats, Handler handler, ns::Value userInfo);
  void arm();
  void disarm();
  void fired(uint64_t generation);

  mutable std::mutex mutex_;
  ns::Date fireDate_;
  double interval_;
  bool repeats_;
  double tolerance_ = 0;
  Handler handler_;
  ns::Value userInfo_;
  std::atomic<bool> valid_{true};
  bool scheduled_ = false;
  uint64_t schedulerId_ = 0;
  uint64_t generation_ = 0;
};

}  // namespace dispatch
