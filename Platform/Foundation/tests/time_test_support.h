// Helpers shared by the time tests: dates built with libc (independent of
// the code under test), and guards that put process-wide time state back.
#pragma once

#include <ctime>
#include <string>

#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/TimeZone.h"

namespace ns::testing {

// A UTC wall time, with fractional seconds.
inline Date utc(int year, int month, int day, int hour = 0, int minute = 0, double second = 0) {
  struct tm tm {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = 0;
  return Date::fromUnixTime(double(timegm(&tm)) + second);
}

inline TimeZone zone(const std::string& name) { return *TimeZone::named(name); }

// Leaves the default zone and the clock as it found them.
struct TimeStateGuard {
  ~TimeStateGuard() {
    TimeZone::resetDefault();
    Clock::useReal();
  }
};

}  // namespace ns::testing
