// The session event's time stamp.
#pragma once

#include <cstdint>

class TimeProvider {
 public:
  virtual ~TimeProvider() = default;
  // Microseconds since 1970.
  virtual uint64_t timestampUs() const = 0;
};

// The clock's (ns::Clock) current time, truncated to whole seconds, so its
// resolution is the second although its unit is the microsecond. A time
// before 1970 gives 0.
class Time : public TimeProvider {
 public:
  uint64_t timestampUs() const override;
};
