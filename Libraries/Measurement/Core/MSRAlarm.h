// A one-shot, cancellable timer that runs a block on a queue: the engine's
// upload timer ("Measurement timer") and its retry timers. Re-arming an
// armed alarm cancels the pending firing first, so at most one firing is
// pending. The deadline is wall-clock time (ns::Clock), so a test's virtual
// clock fires it.
//
// Every line it logs starts with its name ("Timer" when made without one):
// 2000 an empty block (or a delay that is not a number) refused, 2001
// " fired", 2002 " scheduled to fire in approx. (s)", 2003 " canceled",
// 2004 " is not active".
//
// Thread-safe: the session reporter arms one from two threads, so the fields
// are behind a lock; the block runs on the queue without it.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"

namespace dispatch {
class Queue;
class TimerSource;
}  // namespace dispatch

class MSRAlarm : public std::enable_shared_from_this<MSRAlarm> {
 public:
  static std::shared_ptr<MSRAlarm> initWithDispatchQueue(std::shared_ptr<dispatch::Queue> queue,
                                                         const std::string& name);
  // Cancels.
  ~MSRAlarm();
  MSRAlarm(const MSRAlarm&) = delete;
  MSRAlarm& operator=(const MSRAlarm&) = delete;

  // (Re)arms the alarm to run `block` once, `delay` seconds from now. A
  // delay that is not a number arms nothing; a delay beyond what 64-bit
  // nanoseconds hold (about 292 years) waits that long, and a negative one
  // fires at once.
  void runAfterDelay(double delay, std::function<void()> block);
  // Disarms it; silent when nothing is armed.
  void cancel();
  bool hasActiveTimer() const;
  // When the armed alarm is due; none when idle.
  std::optional<ns::Date> scheduledTimestamp() const;
  const std::string& name() const { return name_; }

 private:
  MSRAlarm(std::shared_ptr<dispatch::Queue> queue, std::string name);
  void cancelLocked();
  void fired(const std::shared_ptr<dispatch::TimerSource>& timer, const std::function<void()>& block);

  const std::shared_ptr<dispatch::Queue> queue_;
  const std::string name_;
  mutable std::mutex mutex_;
  std::shared_ptr<dispatch::TimerSource> timer_;
  std::optional<ns::Date> scheduledTimestamp_;
};
