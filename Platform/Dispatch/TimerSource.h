// A timer on a queue: calls its handler on the queue at a start time and
// then every interval, until cancelled. Created suspended: set the timer and
// the handler, then resume().
//
// Fires that pile up while the handler is pending are coalesced into one
// call; data() tells the handler how many fire times it covers.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/Time.h"
#include "Platform/Foundation/Date.h"

namespace dispatch {

class TimerSource : public std::enable_shared_from_this<TimerSource> {
 public:
  // An interval of kTimeForever (or 0) makes a one-shot timer.
  static constexpr uint64_t kOneShot = kTimeForever;

  static std::shared_ptr<TimerSource> create(std::shared_ptr<Queue> queue);
  ~TimerSource();

  void setEventHandler(std::function<void()> handler);
  void setCancelHandler(std::function<void()> handler);

  // First fire at `start` (uptime; see timeAfter), then every
  // `intervalNanos`. `leewayNanos` is accepted and ignored: fires are exact.
  void setTimer(Time start, uint64_t intervalNanos, uint64_t leewayNanos = 0);
  // First fire when the wall clock reaches `start`.
  void setWallTimer(ns::Date start, uint64_t intervalNanos, uint64_t leewayNanos = 0);

  void resume();
  void suspend();
  // Stops the timer for good; the cancel handler runs on the queue.
  void cancel();
  bool isCancelled() const;
  // Fire count covered by the current handler call.
  uint64_t data() const;

 private:
  explicit TimerSource(std::shared_ptr<Queue> queue);
  void arm();
  void onFire(uint64_t generation, uint64_t deadline);
  void fireLocked(uint64_t deadline);

  std::shared_ptr<Queue> queue_;
  mutable std::mutex mutex_;
  std::function<void()> handler_;
  std::function<void()> cancelHandler_;
  bool wall_ = false;
  Time start_ = kTimeForever;
  ns::Date wallStart_;
  uint64_t interval_ = kOneShot;
  int suspendCount_ = 1;
  bool cancelled_ = false;
  bool handlerPending_ = false;
  uint64_t pendingCount_ = 0;
  uint64_t data_ = 0;
  uint64_t schedulerId_ = 0;
  uint64_t generation_ = 0;
};

}  // namespace dispatch
