#include "Libraries/EventTransport/Sessions/Time.h"

#include <cmath>
#include <limits>

#include "Platform/Foundation/Clock.h"

uint64_t Time::timestampUs() const {
  double seconds = std::trunc(ns::Clock::now().timeIntervalSince1970());
  // Out of the range a microsecond count holds: clamp rather than overflow.
  constexpr double kMaxSeconds = static_cast<double>(std::numeric_limits<uint64_t>::max() / 1000000);
  if (!(seconds > 0)) return 0;
  if (seconds >= kMaxSeconds) return std::numeric_limits<uint64_t>::max() / 1000000 * 1000000;
  return static_cast<uint64_t>(seconds) * 1000000;
}
