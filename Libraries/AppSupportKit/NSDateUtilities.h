// Date helpers of the kit: relative construction, formatting, calendar
// comparisons, arithmetic, differences and component reads.
//
// - Comparisons, component reads, start and end of day and the merging of
//   a date with a time use one shared calendar (currentCalendar), made once
//   and following the default time zone and locale. Additions of years,
//   months and days ask for the current calendar at each call.
// - Hours and minutes are plain seconds (3600, 60): across a clock change,
//   dateByAddingHours(d, 24) and dateByAddingDays(d, 1) differ.
// - Two dates are in the same week only when their week-of-month numbers
//   are equal and they are less than 604800 s apart, so a calendar week
//   that spans the end of a month counts as two weeks.
// - Differences truncate toward zero; daysSinceDate counts calendar days
//   (consecutive days are 1 apart, also across a clock change).
// - Nothing here keeps state; every function may run on any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/DateComponents.h"
#include "Platform/Foundation/DateFormatter.h"

namespace NSDateUtilities {

inline constexpr int64_t kMinute = 60;
inline constexpr int64_t kHour = 3600;
inline constexpr int64_t kDay = 86400;
inline constexpr int64_t kWeek = 604800;

const ns::Calendar& currentCalendar();

// --- Relative dates ---
ns::Date dateWithDaysFromNow(int64_t days);
ns::Date dateWithDaysBeforeNow(int64_t days);
ns::Date dateTomorrow();
ns::Date dateYesterday();
ns::Date dateWithHoursFromNow(int64_t hours);
ns::Date dateWithHoursBeforeNow(int64_t hours);
ns::Date dateWithMinutesFromNow(int64_t minutes);
ns::Date dateWithMinutesBeforeNow(int64_t minutes);
// Year, month and day of `date`, with hour, minute and second of `time`.
ns::Date dateWithDateFromAndTimeFrom(ns::Date date, ns::Date time);

// --- Formatting (current locale and zone) ---
std::string stringWithTemplateFormat(ns::Date date, const std::string& fieldTemplate);
std::string stringWithFormat(ns::Date date, const std::string& format);
std::string stringWithDateStyle(ns::Date date, ns::DateFormatterStyle dateStyle, ns::DateFormatterStyle timeStyle);
std::string shortString(ns::Date date);
std::string shortTimeString(ns::Date date);
std::string shortDateString(ns::Date date);
std::string mediumString(ns::Date date);
std::string mediumTimeString(ns::Date date);
std::string mediumDateString(ns::Date date);
std::string longString(ns::Date date);
std::string longTimeString(ns::Date date);
std::string longDateString(ns::Date date);

// --- Comparisons ---
// NO without a date.
bool isEqualToDateIgnoringTime(ns::Date date, std::optional<ns::Date> other);
bool isSameDayAsDate(ns::Date date, std::optional<ns::Date> other);
bool isEqualToTimeIgnoringDate(ns::Date date, std::optional<ns::Date> other);
bool isToday(ns::Date date);
bool isTomorrow(ns::Date date);
bool isYesterday(ns::Date date);
bool isSameWeekAsDate(ns::Date date, ns::Date other);
bool isThisWeek(ns::Date date);
bool isNextWeek(ns::Date date);
bool isLastWeek(ns::Date date);
bool isSameMonthAsDate(ns::Date date, ns::Date other);
bool isThisMonth(ns::Date date);
bool isNextMonth(ns::Date date);
bool isLastMonth(ns::Date date);
bool isSameYearAsDate(ns::Date date, ns::Date other);
bool isThisYear(ns::Date date);
bool isNextYear(ns::Date date);
bool isLastYear(ns::Date date);
bool isEarlierThanDate(ns::Date date, ns::Date other);
// Strictly later than `other`.
bool isLaterThanDate(ns::Date date, ns::Date other);
// Strictly later than the current date.
bool isInFuture(ns::Date date);
bool isInPast(ns::Date date);
// Sunday or Saturday.
bool isTypicallyWeekend(ns::Date date);
bool isTypicallyWorkday(ns::Date date);

// --- Arithmetic ---
// Calendar additions; a result beyond the calendar's range leaves the date
// as it is.
ns::Date dateByAddingYears(ns::Date date, int64_t years);
ns::Date dateBySubtractingYears(ns::Date date, int64_t years);
ns::Date dateByAddingMonths(ns::Date date, int64_t months);
ns::Date dateBySubtractingMonths(ns::Date date, int64_t months);
ns::Date dateByAddingDays(ns::Date date, int64_t days);
ns::Date dateBySubtractingDays(ns::Date date, int64_t days);
ns::Date dateByAddingHours(ns::Date date, int64_t hours);
ns::Date dateBySubtractingHours(ns::Date date, int64_t hours);
// `minutes` times 60 seconds after `date` (no calendar).
ns::Date dateByAddingMinutes(ns::Date date, int64_t minutes);
ns::Date dateBySubtractingMinutes(ns::Date date, int64_t minutes);
// From `other` to `date` in year, month, day, hour, minute, second,
// weekday, weekday ordinal and week of month.
ns::DateComponents componentsWithOffsetFromDate(ns::Date date, ns::Date other);
ns::Date dateAtStartOfDay(ns::Date date);
ns::Date dateAtEndOfDay(ns::Date date);
// A date in the past becomes today at its time of day; others stay.
ns::Date dateByFixingToTodayOrFuture(ns::Date date);
// Then a day at a time until it is no longer in the past.
ns::Date dateByFixingToFuture(ns::Date date);

// --- Differences and components ---
int64_t minutesAfterDate(ns::Date date, ns::Date other);
int64_t minutesBeforeDate(ns::Date date, ns::Date other);
int64_t hoursAfterDate(ns::Date date, ns::Date other);
int64_t hoursBeforeDate(ns::Date date, ns::Date other);
int64_t daysAfterDate(ns::Date date, ns::Date other);
int64_t daysBeforeDate(ns::Date date, ns::Date other);
// Calendar days between the two dates' starts of day.
int64_t daysSinceDate(ns::Date date, ns::Date other);
// The hour of now + 30 minutes; `date` is not used.
int64_t nearestHour(ns::Date date);
int64_t hour(ns::Date date);
int64_t minute(ns::Date date);
int64_t seconds(ns::Date date);
int64_t day(ns::Date date);
int64_t month(ns::Date date);
int64_t year(ns::Date date);
int64_t weekday(ns::Date date);
int64_t weekOfMonth(ns::Date date);
int64_t weekOfYear(ns::Date date);
// Which occurrence of its weekday in the month.
int64_t nthWeekday(ns::Date date);

}  // namespace NSDateUtilities
