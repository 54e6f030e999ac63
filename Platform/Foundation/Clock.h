// The one source of time for the whole system.
//
// In real mode the wall clock is the system's and uptime is CLOCK_MONOTONIC.
// In virtual mode (tests, scripted runs) both stand still until advance()
// moves them; observers (the dispatch layer's timers) are told after every
// move so that what fell due fires, in order, without sleeping.
#pragma once

#include <cstdint>
#include <functional>

#include "Platform/Foundation/Date.h"

namespace ns {

class Clock {
 public:
  // Wall time.
  static Date now();
  // Monotonic time in nanoseconds; never goes back.
  static uint64_t uptimeNanos();

  static bool isVirtual();
  // Switches to a virtual clock that stands at `start` until moved.
  static void useVirtual(Date start);
  // Back to the system clock.
  static void useReal();
  // Moves the virtual clock forward (wall and uptime alike) and notifies
  // observers. Ignored in real mode.
  static void advance(double seconds);
  // Sets the virtual wall time without moving uptime (a user changing the
  // device's clock); observers are notified.
  static void setWallTime(Date date);

  using ObserverId = uint64_t;
  // Called on the thread that moved the clock, after it moved.
  static ObserverId addObserver(std::function<void()> observer);
  static void removeObserver(ObserverId id);
};

}  // namespace ns
