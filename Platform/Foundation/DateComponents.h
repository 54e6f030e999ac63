// A date or a duration taken apart into calendar fields. A field that is not
// set is absent (the platform's "undefined"). Months, days and weekdays count
// from 1; weekday 1 is Sunday.
#pragma once

#include <cstdint>
#include <optional>

namespace ns {

// Field masks; the values are the platform's, so masks written as numbers
// (252 = year through second) mean the same here.
enum CalendarUnit : uint32_t {
  kCalendarUnitEra = 1u << 1,
  kCalendarUnitYear = 1u << 2,
  kCalendarUnitMonth = 1u << 3,
  kCalendarUnitDay = 1u << 4,
  kCalendarUnitHour = 1u << 5,
  kCalendarUnitMinute = 1u << 6,
  kCalendarUnitSecond = 1u << 7,
  kCalendarUnitWeekday = 1u << 9,
  kCalendarUnitWeekdayOrdinal = 1u << 10,
  kCalendarUnitQuarter = 1u << 11,
  kCalendarUnitWeekOfMonth = 1u << 12,
  kCalendarUnitWeekOfYear = 1u << 13,
  kCalendarUnitYearForWeekOfYear = 1u << 14,
  kCalendarUnitNanosecond = 1u << 15,
};

struct DateComponents {
  std::optional<int64_t> era = std::nullopt;
  std::optional<int64_t> year = std::nullopt;
  std::optional<int64_t> month = std::nullopt;
  std::optional<int64_t> day = std::nullopt;
  std::optional<int64_t> hour = std::nullopt;
  std::optional<int64_t> minute = std::nullopt;
  std::optional<int64_t> second = std::nullopt;
  std::optional<int64_t> nanosecond = std::nullopt;
  std::optional<int64_t> weekday = std::nullopt;
  std::optional<int64_t> weekdayOrdinal = std::nullopt;  // which occurrence of the weekday in its month
  std::optional<int64_t> quarter = std::nullopt;
  std::optional<int64_t> weekOfMonth = std::nullopt;
  std::optional<int64_t> weekOfYear = std::nullopt;
  std::optional<int64_t> yearForWeekOfYear = std::nullopt;

  // The field of one unit (absent for a combined mask).
  std::optional<int64_t> value(CalendarUnit unit) const;
  void setValue(CalendarUnit unit, std::optional<int64_t> value);

  bool operator==(const DateComponents&) const = default;
};

inline std::optional<int64_t> DateComponents::value(CalendarUnit unit) const {
  switch (unit) {
    case kCalendarUnitEra: return era;
    case kCalendarUnitYear: return year;
    case kCalendarUnitMonth: return month;
    case kCalendarUnitDay: return day;
    case kCalendarUnitHour: return hour;
    case kCalendarUnitMinute: return minute;
    case kCalendarUnitSecond: return second;
    case kCalendarUnitNanosecond: return nanosecond;
    case kCalendarUnitWeekday: return weekday;
    case kCalendarUnitWeekdayOrdinal: return weekdayOrdinal;
    case kCalendarUnitQuarter: return quarter;
    case kCalendarUnitWeekOfMonth: return weekOfMonth;
    case kCalendarUnitWeekOfYear: return weekOfYear;
    case kCalendarUnitYearForWeekOfYear: return yearForWeekOfYear;
  }
  return std::nullopt;
}

inline void DateComponents::setValue(CalendarUnit unit, std::optional<int64_t> v) {
  switch (unit) {
    case kCalendarUnitEra: era = v; break;
    case kCalendarUnitYear: year = v; break;
    case kCalendarUnitMonth: month = v; break;
    case kCalendarUnitDay: day = v; break;
    case kCalendarUnitHour: hour = v; break;
    case kCalendarUnitMinute: minute = v; break;
    case kCalendarUnitSecond: second = v; break;
    case kCalendarUnitNanosecond: nanosecond = v; break;
    case kCalendarUnitWeekday: weekday = v; break;
    case kCalendarUnitWeekdayOrdinal: weekdayOrdinal = v; break;
    case kCalendarUnitQuarter: quarter = v; break;
    case kCalendarUnitWeekOfMonth: weekOfMonth = v; break;
    case kCalendarUnitWeekOfYear: weekOfYear = v; break;
    case kCalendarUnitYearForWeekOfYear: yearForWeekOfYear = v; break;
  }
}

}  // namespace ns
