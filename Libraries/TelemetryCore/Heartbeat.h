// One heartbeat: the app, carrying a user agent, was used on a calendar day
// (GMT). The types of the heartbeat layer live in namespace zovcore; the
// core's other code reaches them through ZOVHeartbeatLogger.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Date.h"

namespace zovcore {

// The periods a heartbeat counts for; the raw value is what files hold.
enum class TimePeriod : int64_t { daily = 1 };

inline constexpr TimePeriod kAllTimePeriods[] = {TimePeriod::daily};

// 86400 seconds for a day.
inline double timeInterval(TimePeriod period) {
  switch (period) {
    case TimePeriod::daily:
      return 86400;
  }
  return 86400;
}

// The period of a raw value read from a file; nothing for an unknown one.
inline std::optional<TimePeriod> timePeriodFromRawValue(int64_t raw) {
  for (TimePeriod period : kAllTimePeriods) {
    if (static_cast<int64_t>(period) == raw) return period;
  }
  return std::nullopt;
}

struct Heartbeat {
  std::string agent;                    // the user agent when it was logged
  ns::Date date;                        // the start of the day (GMT)
  int64_t version = 0;                  // always 0
  std::vector<TimePeriod> timePeriods;  // the periods it counts for

  bool operator==(const Heartbeat&) const = default;
};

}  // namespace zovcore
