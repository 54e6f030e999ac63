#include "Platform/Dispatch/Time.h"

#include "Platform/Foundation/Clock.h"

namespace dispatch {

Time timeAfter(int64_t deltaNanos) {
  uint64_t now = ns::Clock::uptimeNanos();
  if (deltaNanos <= 0) return now;
  if (uint64_t(deltaNanos) >= kTimeForever - now) return kTimeForever;
  return now + uint64_t(deltaNanos);
}

Time timeAfterSeconds(double seconds) {
  if (seconds >= 9.2e9) return kTimeForever;
  return timeAfter(int64_t(seconds * 1e9));
}

}  // namespace dispatch
