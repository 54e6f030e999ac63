// Calendar fields of a moment given as milliseconds since 1970 (UTC, or
// already shifted into a zone by the caller), proleptic Gregorian. The
// loggers stamp every line, so this is plain arithmetic rather than ICU.
#pragma once

#include <cmath>
#include <cstdint>

#include "Platform/Foundation/Date.h"

struct LKCivilTime {
  int64_t year = 1970;
  unsigned month = 1, day = 1;
  unsigned hour = 0, minute = 0, second = 0, millisecond = 0;

  static LKCivilTime fromMilliseconds(int64_t ms) {
    int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
    const int64_t msOfDay = ms - days * 86400000;
    LKCivilTime t;
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    t.day = doy - (153 * mp + 2) / 5 + 1;
    t.month = mp < 10 ? mp + 3 : mp - 9;
    t.year = static_cast<int64_t>(yoe) + era * 400 + (t.month <= 2);
    t.hour = static_cast<unsigned>(msOfDay / 3600000);
    t.minute = static_cast<unsigned>(msOfDay / 60000 % 60);
    t.second = static_cast<unsigned>(msOfDay / 1000 % 60);
    t.millisecond = static_cast<unsigned>(msOfDay % 1000);
    return t;
  }

  // `offsetSeconds` shifts UTC into a zone.
  static LKCivilTime fromDate(ns::Date date, double offsetSeconds = 0) {
    return fromMilliseconds(
        static_cast<int64_t>(std::floor((date.timeIntervalSince1970() + offsetSeconds) * 1000.0)));
  }
};
