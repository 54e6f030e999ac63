#include "Platform/Foundation/Calendar.h"

#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <cmath>
#include <limits>
#include <mutex>
#include <string>
#include <utility>

namespace ns {
namespace {

constexpr int64_t kNanosPerSecond = 1000000000;

bool fitsInt32(int64_t value) {
  return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

// Whole seconds (as ICU milliseconds) and the nanoseconds below them.
struct SplitTime {
  UDate wholeMillis;
  int64_t nanos;
};

SplitTime split(Date date) {
  double seconds = date.timeIntervalSince1970();
  double whole = std::floor(seconds);
  int64_t nanos = std::llround((seconds - whole) * 1e9);
  if (nanos >= kNanosPerSecond) nanos = kNanosPerSecond - 1;
  return {whole * 1000.0, nanos};
}

Date fromMillis(UDate millis, double extraSeconds = 0) {
  return Date::fromUnixTime(millis / 1000.0 + extraSeconds);
}

}  // namespace

// The ICU calendar is stateful (every read sets its time), so each Calendar
// keeps one behind a mutex and rebuilds it when what it follows changed.
struct Calendar::Cache {
  std::mutex mutex;
  std::unique_ptr<icu::Calendar> calendar;
  std::string localeIdentifier;
  std::string zoneName;
};

Calendar::Calendar(Identifier identifier) : identifier_(identifier), cache_(std::make_unique<Cache>()) {}

Calendar::Calendar(const Calendar& other)
    : identifier_(other.identifier_),
      zone_(other.zone_),
      locale_(other.locale_),
      firstWeekday_(other.firstWeekday_),
      minimumDays_(other.minimumDays_),
      cache_(std::make_unique<Cache>()) {}

Calendar& Calendar::operator=(const Calendar& other) {
  if (this != &other) {
    identifier_ = other.identifier_;
    zone_ = other.zone_;
    locale_ = other.locale_;
    firstWeekday_ = other.firstWeekday_;
    minimumDays_ = other.minimumDays_;
    cache_ = std::make_unique<Cache>();
  }
  return *this;
}

// A moved-from calendar keeps its settings and a cache of its own, so it
// stays usable.
Calendar::Calendar(Calendar&& other) : Calendar(static_cast<const Calendar&>(other)) {
  std::swap(cache_, other.cache_);
}

Calendar& Calendar::operator=(Calendar&& other) {
  *this = static_cast<const Calendar&>(other);
  std::swap(cache_, other.cache_);
  return *this;
}
Calendar::~Calendar() = default;

TimeZone Calendar::timeZone() const { return zone_ ? *zone_ : TimeZone::defaultZone(); }

void Calendar::setTimeZone(const TimeZone& zone) { zone_ = zone; }

Locale Calendar::locale() const { return locale_ ? *locale_ : Locale::current(); }

void Calendar::setLocale(const Locale& locale) {
  locale_ = locale;
  cache_ = std::make_unique<Cache>();
}

void Calendar::setFirstWeekday(int weekday) {
  if (weekday < 1 || weekday > 7) return;
  firstWeekday_ = weekday;
  cache_ = std::make_unique<Cache>();
}

void Calendar::setMinimumDaysInFirstWeek(int days) {
  if (days < 1 || days > 7) return;
  minimumDays_ = days;
  cache_ = std::make_unique<Cache>();
}

template <typename Fn>
auto Calendar::withCalendar(Fn&& fn) const {
  TimeZone zone = timeZone();
  std::string localeIdentifier = locale().identifier();
  std::lock_guard lock(cache_->mutex);
  Cache& cache = *cache_;
  if (!cache.calendar || cache.localeIdentifier != localeIdentifier) {
    icu::Locale icuLocale(localeIdentifier.c_str());
    UErrorCode status = U_ZERO_ERROR;
    icuLocale.setKeywordValue("calendar", identifier_ == Identifier::ISO8601 ? "iso8601" : "gregorian", status);
    status = U_ZERO_ERROR;
    cache.calendar.reset(icu::Calendar::createInstance(zone.icuZone().clone(), icuLocale, status));
    if (U_FAILURE(status) || !cache.calendar) {
      status = U_ZERO_ERROR;
      cache.calendar.reset(icu::Calendar::createInstance(zone.icuZone().clone(), icu::Locale::getRoot(), status));
    }
    // An ambiguous wall time (a clock set back) means its first occurrence.
    cache.calendar->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
    if (firstWeekday_) cache.calendar->setFirstDayOfWeek(static_cast<UCalendarDaysOfWeek>(*firstWeekday_));
    if (minimumDays_) cache.calendar->setMinimalDaysInFirstWeek(static_cast<uint8_t>(*minimumDays_));
    cache.localeIdentifier = localeIdentifier;
    cache.zoneName = zone.name();
  } else if (cache.zoneName != zone.name()) {
    cache.calendar->setTimeZone(zone.icuZone());
    cache.zoneName = zone.name();
  }
  return fn(*cache.calendar);
}

int Calendar::firstWeekday() const {
  return withCalendar([](icu::Calendar& cal) { return static_cast<int>(cal.getFirstDayOfWeek()); });
}

int Calendar::minimumDaysInFirstWeek() const {
  return withCalendar([](icu::Calendar& cal) { return static_cast<int>(cal.getMinimalDaysInFirstWeek()); });
}

DateComponents Calendar::components(uint32_t units, Date date) const {
  SplitTime time = split(date);
  return withCalendar([&](icu::Calendar& cal) {
    DateComponents result;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(time.wholeMillis, status);
    auto get = [&](UCalendarDateFields field) { return static_cast<int64_t>(cal.get(field, status)); };
    if (units & kCalendarUnitEra) result.era = get(UCAL_ERA);
    if (units & kCalendarUnitYear) result.year = get(UCAL_YEAR);
    if (units & kCalendarUnitMonth) result.month = get(UCAL_MONTH) + 1;
    if (units & kCalendarUnitDay) result.day = get(UCAL_DATE);
    if (units & kCalendarUnitHour) result.hour = get(UCAL_HOUR_OF_DAY);
    if (units & kCalendarUnitMinute) result.minute = get(UCAL_MINUTE);
    if (units & kCalendarUnitSecond) result.second = get(UCAL_SECOND);
    if (units & kCalendarUnitNanosecond) result.nanosecond = time.nanos;
    if (units & kCalendarUnitWeekday) result.weekday = get(UCAL_DAY_OF_WEEK);
    if (units & kCalendarUnitWeekdayOrdinal) result.weekdayOrdinal = get(UCAL_DAY_OF_WEEK_IN_MONTH);
    if (units & kCalendarUnitQuarter) result.quarter = get(UCAL_MONTH) / 3 + 1;
    if (units & kCalendarUnitWeekOfMonth) result.weekOfMonth = get(UCAL_WEEK_OF_MONTH);
    if (units & kCalendarUnitWeekOfYear) result.weekOfYear = get(UCAL_WEEK_OF_YEAR);
    if (units & kCalendarUnitYearForWeekOfYear) result.yearForWeekOfYear = get(UCAL_YEAR_WOY);
    return result;
  });
}

int64_t Calendar::component(CalendarUnit unit, Date date) const {
  return components(unit, date).value(unit).value_or(0);
}

std::optional<Date> Calendar::dateFromComponents(const DateComponents& c) const {
  const std::optional<int64_t>* fields[] = {&c.era,     &c.year,           &c.month,       &c.day,
                                            &c.hour,    &c.minute,         &c.second,      &c.weekday,
                                            &c.weekdayOrdinal, &c.weekOfMonth, &c.weekOfYear, &c.yearForWeekOfYear};
  for (auto* field : fields) {
    if (*field && !fitsInt32(**field)) return std::nullopt;
  }
  bool weekBased = c.weekOfYear || c.weekOfMonth || c.weekdayOrdinal || c.weekday;
  return withCalendar([&](icu::Calendar& cal) -> std::optional<Date> {
    cal.clear();
    auto set = [&](UCalendarDateFields field, int64_t value) { cal.set(field, static_cast<int32_t>(value)); };
    if (c.era) set(UCAL_ERA, *c.era);
    if (c.yearForWeekOfYear) set(UCAL_YEAR_WOY, *c.yearForWeekOfYear);
    if (c.year) {
      set(UCAL_YEAR, *c.year);
    } else if (!c.yearForWeekOfYear) {
      set(UCAL_YEAR, 1);
    }
    if (c.month) {
      set(UCAL_MONTH, *c.month - 1);
    } else if (!weekBased) {
      set(UCAL_MONTH, 0);
    }
    if (c.day) set(UCAL_DATE, *c.day);
    if (c.weekOfYear) set(UCAL_WEEK_OF_YEAR, *c.weekOfYear);
    if (c.weekOfMonth) set(UCAL_WEEK_OF_MONTH, *c.weekOfMonth);
    if (c.weekdayOrdinal) set(UCAL_DAY_OF_WEEK_IN_MONTH, *c.weekdayOrdinal);
    if (c.weekday) set(UCAL_DAY_OF_WEEK, *c.weekday);
    set(UCAL_HOUR_OF_DAY, c.hour.value_or(0));
    set(UCAL_MINUTE, c.minute.value_or(0));
    set(UCAL_SECOND, c.second.value_or(0));
    set(UCAL_MILLISECOND, 0);
    UErrorCode status = U_ZERO_ERROR;
    UDate millis = cal.getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    return fromMillis(millis, double(c.nanosecond.value_or(0)) / 1e9);
  });
}

std::optional<Date> Calendar::dateByAddingComponents(const DateComponents& c, Date date) const {
  struct Step {
    const std::optional<int64_t>& amount;
    UCalendarDateFields field;
    int64_t multiplier;
  };
  const Step steps[] = {
      {c.era, UCAL_ERA, 1},
      {c.year, UCAL_YEAR, 1},
      {c.quarter, UCAL_MONTH, 3},
      {c.month, UCAL_MONTH, 1},
      {c.weekOfYear, UCAL_WEEK_OF_YEAR, 1},
      {c.weekOfMonth, UCAL_WEEK_OF_MONTH, 1},
      {c.day, UCAL_DATE, 1},
      {c.weekday, UCAL_DATE, 1},
      {c.hour, UCAL_HOUR_OF_DAY, 1},
      {c.minute, UCAL_MINUTE, 1},
      {c.second, UCAL_SECOND, 1},
  };
  for (const Step& step : steps) {
    if (step.amount && !fitsInt32(*step.amount * step.multiplier)) return std::nullopt;
  }
  SplitTime time = split(date);
  return withCalendar([&](icu::Calendar& cal) -> std::optional<Date> {
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(time.wholeMillis, status);
    for (const Step& step : steps) {
      if (step.amount && *step.amount) cal.add(step.field, static_cast<int32_t>(*step.amount * step.multiplier), status);
    }
    UDate millis = cal.getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    double nanos = double(time.nanos) + double(c.nanosecond.value_or(0));
    return fromMillis(millis, nanos / 1e9);
  });
}

std::optional<Date> Calendar::dateByAdding(CalendarUnit unit, int64_t value, Date date) const {
  DateComponents c;
  c.setValue(unit, value);
  return dateByAddingComponents(c, date);
}

DateComponents Calendar::components(uint32_t units, Date from, Date to) const {
  UDate fromMillis = std::round(from.timeIntervalSince1970() * 1000.0);
  UDate toMillis = std::round(to.timeIntervalSince1970() * 1000.0);
  return withCalendar([&](icu::Calendar& cal) {
    DateComponents result;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(fromMillis, status);
    auto diff = [&](UCalendarDateFields field) {
      return static_cast<int64_t>(cal.fieldDifference(toMillis, field, status));
    };
    if (units & kCalendarUnitEra) result.era = diff(UCAL_ERA);
    if (units & kCalendarUnitYear) result.year = diff(UCAL_YEAR);
    if (units & kCalendarUnitMonth) result.month = diff(UCAL_MONTH);
    if (units & kCalendarUnitWeekOfYear) {
      result.weekOfYear = diff(UCAL_WEEK_OF_YEAR);
    } else if (units & kCalendarUnitWeekOfMonth) {
      result.weekOfMonth = diff(UCAL_WEEK_OF_MONTH);
    }
    if (units & kCalendarUnitDay) result.day = diff(UCAL_DATE);
    if (units & kCalendarUnitHour) result.hour = diff(UCAL_HOUR_OF_DAY);
    if (units & kCalendarUnitMinute) result.minute = diff(UCAL_MINUTE);
    if (units & kCalendarUnitSecond) result.second = diff(UCAL_SECOND);
    if (units & kCalendarUnitNanosecond) {
      UDate reached = cal.getTime(status);
      result.nanosecond = static_cast<int64_t>(toMillis - reached) * 1000000;
    }
    return result;
  });
}

Date Calendar::startOfDay(Date date) const {
  SplitTime time = split(date);
  return withCalendar([&](icu::Calendar& cal) {
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(time.wholeMillis, status);
    cal.set(UCAL_HOUR_OF_DAY, 0);
    cal.set(UCAL_MINUTE, 0);
    cal.set(UCAL_SECOND, 0);
    cal.set(UCAL_MILLISECOND, 0);
    UDate millis = cal.getTime(status);
    if (U_FAILURE(status)) return date;
    return fromMillis(millis);
  });
}

int64_t Calendar::numberOfDaysBetween(Date from, Date to) const {
  return components(kCalendarUnitDay, startOfDay(from), startOfDay(to)).day.value_or(0);
}

bool Calendar::isDateInSameDayAsDate(Date a, Date b) const {
  constexpr uint32_t kDayUnits = kCalendarUnitEra | kCalendarUnitYear | kCalendarUnitMonth | kCalendarUnitDay;
  return components(kDayUnits, a) == components(kDayUnits, b);
}

bool Calendar::isDateInToday(Date date) const { return isDateInSameDayAsDate(date, Date::now()); }

bool Calendar::isDateInYesterday(Date date) const {
  auto yesterday = dateByAdding(kCalendarUnitDay, -1, Date::now());
  return yesterday && isDateInSameDayAsDate(date, *yesterday);
}

bool Calendar::isDateInTomorrow(Date date) const {
  auto tomorrow = dateByAdding(kCalendarUnitDay, 1, Date::now());
  return tomorrow && isDateInSameDayAsDate(date, *tomorrow);
}

}  // namespace ns
