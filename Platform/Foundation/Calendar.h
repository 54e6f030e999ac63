// Calendars: taking dates apart into components in a time zone, building
// dates from components, calendar arithmetic, differences, start of day and
// the same-day / today / yesterday questions.
//
// A calendar whose time zone or locale was never set follows the default
// time zone and the device locale at every call (it "auto-updates"); once
// set they stay. Configure a calendar before sharing it; after that every
// operation may run on any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/DateComponents.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/TimeZone.h"

namespace ns {

class Calendar {
 public:
  enum class Identifier {
    Gregorian,  // first weekday from the locale
    ISO8601,    // Gregorian with weeks from Monday, four days in the first week
  };

  explicit Calendar(Identifier identifier = Identifier::Gregorian);
  Calendar(const Calendar& other);
  Calendar& operator=(const Calendar& other);
  Calendar(Calendar&& other);
  Calendar& operator=(Calendar&& other);
  ~Calendar();

  // The user's calendar: Gregorian, following the default zone and locale.
  static Calendar current() { return Calendar(Identifier::Gregorian); }

  Identifier identifier() const { return identifier_; }
  TimeZone timeZone() const;
  void setTimeZone(const TimeZone& zone);
  Locale locale() const;
  void setLocale(const Locale& locale);
  // 1 = Sunday ... 7 = Saturday.
  int firstWeekday() const;
  void setFirstWeekday(int weekday);
  int minimumDaysInFirstWeek() const;
  void setMinimumDaysInFirstWeek(int days);

  // The fields of `units` (an OR of CalendarUnit) of `date`; others absent.
  DateComponents components(uint32_t units, Date date) const;
  int64_t component(CalendarUnit unit, Date date) const;
  // The date the components name, unset fields taking their smallest value
  // (year 1, January, day 1, midnight). Out-of-range fields carry over
  // (month 13 is January of the next year). Absent for values too large.
  std::optional<Date> dateFromComponents(const DateComponents& components) const;
  // Adds the set fields, largest unit first; days keep the wall-clock time
  // across daylight-saving changes, hours do not.
  std::optional<Date> dateByAddingComponents(const DateComponents& components, Date date) const;
  std::optional<Date> dateByAdding(CalendarUnit unit, int64_t value, Date date) const;
  // The difference from `from` to `to` in the given units (year, month,
  // week of month/year, day, hour, minute, second, nanosecond), largest
  // first, each truncated toward zero.
  DateComponents components(uint32_t units, Date from, Date to) const;

  // The first moment of the day of `date` (midnight, or the first moment
  // after it when a clock change skips midnight).
  Date startOfDay(Date date) const;
  // Calendar days from the day of `from` to the day of `to`, counted between
  // their starts of day: 23:30 to 00:10 the next day is 1.
  int64_t numberOfDaysBetween(Date from, Date to) const;
  bool isDateInSameDayAsDate(Date a, Date b) const;
  bool isDateInToday(Date date) const;
  bool isDateInYesterday(Date date) const;
  bool isDateInTomorrow(Date date) const;

 private:
  struct Cache;
  template <typename Fn>
  auto withCalendar(Fn&& fn) const;

  Identifier identifier_;
  std::optional<TimeZone> zone_;
  std::optional<Locale> locale_;
  std::optional<int> firstWeekday_;
  std::optional<int> minimumDays_;
  std::unique_ptr<Cache> cache_;
};

}  // namespace ns
