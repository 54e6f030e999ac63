#include "Libraries/AppSupportKit/NSDateUtilities.h"

#include <cmath>

namespace NSDateUtilities {
namespace {

constexpr uint32_t kComponentSet = ns::kCalendarUnitYear | ns::kCalendarUnitMonth | ns::kCalendarUnitDay |
                                   ns::kCalendarUnitHour | ns::kCalendarUnitMinute | ns::kCalendarUnitSecond |
                                   ns::kCalendarUnitWeekday | ns::kCalendarUnitWeekdayOrdinal |
                                   ns::kCalendarUnitWeekOfMonth;

ns::DateComponents componentsOf(ns::Date date) { return currentCalendar().components(kComponentSet, date); }

int64_t field(const std::optional<int64_t>& value) { return value.value_or(0); }

ns::Date addingSeconds(ns::Date date, int64_t seconds) {
  return date.addingTimeInterval(static_cast<double>(seconds));
}

ns::Date calendarAdding(ns::CalendarUnit unit, int64_t value, ns::Date date) {
  return ns::Calendar::current().dateByAdding(unit, value, date).value_or(date);
}

// The day of `date` at the given time, in the shared calendar.
ns::Date atTimeOfDay(ns::Date date, int64_t hour, int64_t minute, int64_t second) {
  ns::DateComponents parts = componentsOf(date);
  ns::DateComponents rebuilt{.year = parts.year, .month = parts.month, .day = parts.day,
                             .hour = hour, .minute = minute, .second = second};
  return currentCalendar().dateFromComponents(rebuilt).value_or(date);
}

std::string formatted(ns::Date date, ns::DateFormatterStyle dateStyle, ns::DateFormatterStyle timeStyle) {
  return stringWithDateStyle(date, dateStyle, timeStyle);
}

}  // namespace

const ns::Calendar& currentCalendar() {
  static const ns::Calendar* calendar = new ns::Calendar(ns::Calendar::current());
  return *calendar;
}

ns::Date dateWithDaysFromNow(int64_t days) { return dateByAddingDays(ns::Date::now(), days); }
ns::Date dateWithDaysBeforeNow(int64_t days) { return dateBySubtractingDays(ns::Date::now(), days); }
ns::Date dateTomorrow() { return dateWithDaysFromNow(1); }
ns::Date dateYesterday() { return dateWithDaysBeforeNow(1); }
ns::Date dateWithHoursFromNow(int64_t hours) { return dateByAddingHours(ns::Date::now(), hours); }
ns::Date dateWithHoursBeforeNow(int64_t hours) { return dateBySubtractingHours(ns::Date::now(), hours); }
ns::Date dateWithMinutesFromNow(int64_t minutes) { return dateByAddingMinutes(ns::Date::now(), minutes); }
ns::Date dateWithMinutesBeforeNow(int64_t minutes) { return dateBySubtractingMinutes(ns::Date::now(), minutes); }

ns::Date dateWithDateFromAndTimeFrom(ns::Date date, ns::Date time) {
  ns::DateComponents clock = componentsOf(time);
  return atTimeOfDay(date, field(clock.hour), field(clock.minute), field(clock.second));
}

std::string stringWithTemplateFormat(ns::Date date, const std::string& fieldTemplate) {
  ns::DateFormatter formatter;
  formatter.setLocalizedDateFormatFromTemplate(fieldTemplate);
  return formatter.stringFromDate(date);
}

std::string stringWithFormat(ns::Date date, const std::string& format) {
  ns::DateFormatter formatter;
  formatter.setDateFormat(format);
  return formatter.stringFromDate(date);
}

std::string stringWithDateStyle(ns::Date date, ns::DateFormatterStyle dateStyle, ns::DateFormatterStyle timeStyle) {
  ns::DateFormatter formatter;
  formatter.setDateStyle(dateStyle);
  formatter.setTimeStyle(timeStyle);
  return formatter.stringFromDate(date);
}

using Style = ns::DateFormatterStyle;
std::string shortString(ns::Date date) { return formatted(date, Style::Short, Style::Short); }
std::string shortTimeString(ns::Date date) { return formatted(date, Style::None, Style::Short); }
std::string shortDateString(ns::Date date) { return formatted(date, Style::Short, Style::None); }
std::string mediumString(ns::Date date) { return formatted(date, Style::Medium, Style::Medium); }
std::string mediumTimeString(ns::Date date) { return formatted(date, Style::None, Style::Medium); }
std::string mediumDateString(ns::Date date) { return formatted(date, Style::Medium, Style::None); }
std::string longString(ns::Date date) { return formatted(date, Style::Long, Style::Long); }
std::string longTimeString(ns::Date date) { return formatted(date, Style::None, Style::Long); }
std::string longDateString(ns::Date date) { return formatted(date, Style::Long, Style::None); }

bool isEqualToDateIgnoringTime(ns::Date date, std::optional<ns::Date> other) {
  if (!other) return false;
  ns::DateComponents a = componentsOf(date), b = componentsOf(*other);
  return a.year == b.year && a.month == b.month && a.day == b.day;
}
bool isSameDayAsDate(ns::Date date, std::optional<ns::Date> other) { return isEqualToDateIgnoringTime(date, other); }

bool isEqualToTimeIgnoringDate(ns::Date date, std::optional<ns::Date> other) {
  if (!other) return false;
  ns::DateComponents a = componentsOf(date), b = componentsOf(*other);
  return a.hour == b.hour && a.minute == b.minute && a.second == b.second;
}

bool isToday(ns::Date date) { return isSameDayAsDate(date, ns::Date::now()); }
bool isTomorrow(ns::Date date) { return isSameDayAsDate(date, dateTomorrow()); }
bool isYesterday(ns::Date date) { return isSameDayAsDate(date, dateYesterday()); }

bool isSameWeekAsDate(ns::Date date, ns::Date other) {
  if (componentsOf(date).weekOfMonth != componentsOf(other).weekOfMonth) return false;
  double apart = date.timeIntervalSince(other);
  return (apart < 0 ? -apart : apart) < static_cast<double>(kWeek);
}
bool isThisWeek(ns::Date date) { return isSameWeekAsDate(date, ns::Date::now()); }
bool isNextWeek(ns::Date date) { return isSameWeekAsDate(date, addingSeconds(ns::Date::now(), kWeek)); }
bool isLastWeek(ns::Date date) { return isSameWeekAsDate(date, addingSeconds(ns::Date::now(), -kWeek)); }

bool isSameMonthAsDate(ns::Date date, ns::Date other) {
  ns::DateComponents a = componentsOf(date), b = componentsOf(other);
  return a.month == b.month && a.year == b.year;
}
bool isThisMonth(ns::Date date) { return isSameMonthAsDate(date, ns::Date::now()); }
bool isNextMonth(ns::Date date) { return isSameMonthAsDate(date, dateByAddingMonths(ns::Date::now(), 1)); }
bool isLastMonth(ns::Date date) { return isSameMonthAsDate(date, dateBySubtractingMonths(ns::Date::now(), 1)); }

bool isSameYearAsDate(ns::Date date, ns::Date other) { return year(date) == year(other); }
bool isThisYear(ns::Date date) { return isSameYearAsDate(date, ns::Date::now()); }
bool isNextYear(ns::Date date) { return year(date) == year(ns::Date::now()) + 1; }
bool isLastYear(ns::Date date) { return year(date) == year(ns::Date::now()) - 1; }

bool isEarlierThanDate(ns::Date date, ns::Date other) { return date < other; }
bool isLaterThanDate(ns::Date date, ns::Date other) { return date > other; }
bool isInFuture(ns::Date date) { return date > ns::Date::now(); }
bool isInPast(ns::Date date) { return date < ns::Date::now(); }

bool isTypicallyWeekend(ns::Date date) {
  int64_t day = weekday(date);
  return day == 1 || day == 7;
}
bool isTypicallyWorkday(ns::Date date) { return !isTypicallyWeekend(date); }

ns::Date dateByAddingYears(ns::Date date, int64_t years) { return calendarAdding(ns::kCalendarUnitYear, years, date); }
ns::Date dateBySubtractingYears(ns::Date date, int64_t years) { return dateByAddingYears(date, -years); }
ns::Date dateByAddingMonths(ns::Date date, int64_t months) {
  return calendarAdding(ns::kCalendarUnitMonth, months, date);
}
ns::Date dateBySubtractingMonths(ns::Date date, int64_t months) { return dateByAddingMonths(date, -months); }
ns::Date dateByAddingDays(ns::Date date, int64_t days) { return calendarAdding(ns::kCalendarUnitDay, days, date); }
ns::Date dateBySubtractingDays(ns::Date date, int64_t days) { return dateByAddingDays(date, -days); }
ns::Date dateByAddingHours(ns::Date date, int64_t hours) { return addingSeconds(date, hours * kHour); }
ns::Date dateBySubtractingHours(ns::Date date, int64_t hours) { return dateByAddingHours(date, -hours); }
ns::Date dateByAddingMinutes(ns::Date date, int64_t minutes) { return addingSeconds(date, minutes * kMinute); }
ns::Date dateBySubtractingMinutes(ns::Date date, int64_t minutes) { return dateByAddingMinutes(date, -minutes); }

ns::DateComponents componentsWithOffsetFromDate(ns::Date date, ns::Date other) {
  return currentCalendar().components(kComponentSet, other, date);
}

ns::Date dateAtStartOfDay(ns::Date date) { return atTimeOfDay(date, 0, 0, 0); }
ns::Date dateAtEndOfDay(ns::Date date) { return atTimeOfDay(date, 23, 59, 59); }

ns::Date dateByFixingToTodayOrFuture(ns::Date date) {
  if (!isInPast(date)) return date;
  return dateWithDateFromAndTimeFrom(ns::Date::now(), date);
}

ns::Date dateByFixingToFuture(ns::Date date) {
  ns::Date fixed = dateByFixingToTodayOrFuture(date);
  // Today at that time of day at most a day behind: one or two steps.
  while (isInPast(fixed)) {
    ns::Date next = dateByAddingDays(fixed, 1);
    if (!(next > fixed)) break;  // the calendar could not add a day
    fixed = next;
  }
  return fixed;
}

namespace {
int64_t wholeUnits(ns::Date later, ns::Date earlier, int64_t unit) {
  return static_cast<int64_t>(later.timeIntervalSince(earlier) / static_cast<double>(unit));
}
}  // namespace

int64_t minutesAfterDate(ns::Date date, ns::Date other) { return wholeUnits(date, other, kMinute); }
int64_t minutesBeforeDate(ns::Date date, ns::Date other) { return wholeUnits(other, date, kMinute); }
int64_t hoursAfterDate(ns::Date date, ns::Date other) { return wholeUnits(date, other, kHour); }
int64_t hoursBeforeDate(ns::Date date, ns::Date other) { return wholeUnits(other, date, kHour); }
int64_t daysAfterDate(ns::Date date, ns::Date other) { return wholeUnits(date, other, kDay); }
int64_t daysBeforeDate(ns::Date date, ns::Date other) { return wholeUnits(other, date, kDay); }
int64_t daysSinceDate(ns::Date date, ns::Date other) {
  // Rounded, not truncated: a day with a clock change is 23 or 25 hours
  // long, and the days on either side of it are still one apart.
  double apart = dateAtStartOfDay(date).timeIntervalSince(dateAtStartOfDay(other));
  return std::llround(apart / static_cast<double>(kDay));
}

int64_t nearestHour(ns::Date) { return hour(addingSeconds(ns::Date::now(), 30 * kMinute)); }
int64_t hour(ns::Date date) { return field(componentsOf(date).hour); }
int64_t minute(ns::Date date) { return field(componentsOf(date).minute); }
int64_t seconds(ns::Date date) { return field(componentsOf(date).second); }
int64_t day(ns::Date date) { return field(componentsOf(date).day); }
int64_t month(ns::Date date) { return field(componentsOf(date).month); }
int64_t year(ns::Date date) { return field(componentsOf(date).year); }
int64_t weekday(ns::Date date) { return field(componentsOf(date).weekday); }
int64_t weekOfMonth(ns::Date date) { return field(componentsOf(date).weekOfMonth); }
int64_t weekOfYear(ns::Date date) {
  return field(currentCalendar().components(kComponentSet | ns::kCalendarUnitWeekOfYear, date).weekOfYear);
}
int64_t nthWeekday(ns::Date date) { return field(componentsOf(date).weekdayOrdinal); }

}  // namespace NSDateUtilities
