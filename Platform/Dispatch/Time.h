// Deadlines of the dispatch layer: nanoseconds of ns::Clock's uptime, so
// that a virtual clock moves every timer, `after` and timed wait at once.
#pragma once

#include <cstdint>

namespace dispatch {

inline constexpr int64_t kNanosPerSecond = 1000000000;
inline constexpr int64_t kNanosPerMillisecond = 1000000;
inline constexpr int64_t kNanosPerMicrosecond = 1000;

// A point on the uptime axis, in nanoseconds.
using Time = uint64_t;
inline constexpr Time kTimeNow = 0;
inline constexpr Time kTimeForever = UINT64_MAX;

// Now plus `deltaNanos` (clamped at zero; kTimeForever stays forever).
Time timeAfter(int64_t deltaNanos);
Time timeAfterSeconds(double seconds);

}  // namespace dispatch
