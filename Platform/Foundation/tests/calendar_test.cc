#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/tests/time_test_support.h"

namespace ns {
namespace {

using testing::utc;
using testing::zone;

Calendar gregorianIn(const char* zoneName, const char* localeIdentifier = "en_US") {
  Calendar calendar(Calendar::Identifier::Gregorian);
  calendar.setTimeZone(zone(zoneName));
  calendar.setLocale(Locale(localeIdentifier));
  return calendar;
}

constexpr uint32_t kAllUnits = kCalendarUnitEra | kCalendarUnitYear | kCalendarUnitMonth | kCalendarUnitDay |
                               kCalendarUnitHour | kCalendarUnitMinute | kCalendarUnitSecond |
                               kCalendarUnitNanosecond | kCalendarUnitWeekday | kCalendarUnitWeekdayOrdinal |
                               kCalendarUnitQuarter | kCalendarUnitWeekOfMonth | kCalendarUnitWeekOfYear |
                               kCalendarUnitYearForWeekOfYear;

TEST(CalendarTest, ComponentsOfADateInSeveralZones) {
  const Date date = utc(2024, 3, 5, 18, 7, 9.25);  // a Tuesday
  struct Case {
    const char* zone;
    int64_t year, month, day, hour, minute, weekday;
  } cases[] = {
      {"UTC", 2024, 3, 5, 18, 7, 3},
      {"America/New_York", 2024, 3, 5, 13, 7, 3},
      {"Asia/Tokyo", 2024, 3, 6, 3, 7, 4},
      {"Asia/Kathmandu", 2024, 3, 5, 23, 52, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zone);
    DateComponents parts = gregorianIn(c.zone).components(kAllUnits, date);
    EXPECT_EQ(parts.era, 1);
    EXPECT_EQ(parts.year, c.year);
    EXPECT_EQ(parts.month, c.month);
    EXPECT_EQ(parts.day, c.day);
    EXPECT_EQ(parts.hour, c.hour);
    EXPECT_EQ(parts.minute, c.minute);
    EXPECT_EQ(parts.second, 9);
    EXPECT_EQ(parts.nanosecond, 250000000);
    EXPECT_EQ(parts.weekday, c.weekday);
    EXPECT_EQ(parts.quarter, 1);
    EXPECT_EQ(parts.yearForWeekOfYear, 2024);
  }
}

TEST(CalendarTest, OnlyTheAskedUnitsArePresent) {
  // 252: year through second, as a notification trigger asks for them.
  DateComponents parts = gregorianIn("UTC").components(252, utc(2024, 3, 5, 18, 7, 9));
  EXPECT_EQ(parts.year, 2024);
  EXPECT_EQ(parts.second, 9);
  EXPECT_FALSE(parts.era.has_value());
  EXPECT_FALSE(parts.weekday.has_value());
  EXPECT_FALSE(parts.nanosecond.has_value());
}

TEST(CalendarTest, WeeksDependOnTheCalendarAndLocale) {
  // 2021-01-01 is a Friday: ISO week 53 of 2020, US week 1 of 2021.
  const Date newYear = utc(2021, 1, 1, 12);
  Calendar iso(Calendar::Identifier::ISO8601);
  iso.setTimeZone(TimeZone::utc());
  iso.setLocale(Locale::posix());
  EXPECT_EQ(iso.firstWeekday(), 2);
  EXPECT_EQ(iso.minimumDaysInFirstWeek(), 4);
  EXPECT_EQ(iso.component(kCalendarUnitWeekOfYear, newYear), 53);
  EXPECT_EQ(iso.component(kCalendarUnitYearForWeekOfYear, newYear), 2020);

  Calendar us = gregorianIn("UTC", "en_US");
  EXPECT_EQ(us.firstWeekday(), 1);
  EXPECT_EQ(us.component(kCalendarUnitWeekOfYear, newYear), 1);
  EXPECT_EQ(gregorianIn("UTC", "de_DE").firstWeekday(), 2);

  // The last and first days of two months are in different weeks of month.
  EXPECT_EQ(us.component(kCalendarUnitWeekOfMonth, utc(2024, 1, 31)), 5);
  EXPECT_EQ(us.component(kCalendarUnitWeekOfMonth, utc(2024, 2, 1)), 1);
  // 2024-03-26 is the fourth Tuesday of March.
  EXPECT_EQ(us.component(kCalendarUnitWeekdayOrdinal, utc(2024, 3, 26)), 4);
}

TEST(CalendarTest, DateFromComponents) {
  Calendar newYork = gregorianIn("America/New_York");
  struct Case {
    const char* what;
    DateComponents parts;
    Date expected;
  } cases[] = {
      {"winter wall time", {.year = 2024, .month = 1, .day = 15, .hour = 9, .minute = 30}, utc(2024, 1, 15, 14, 30)},
      {"summer wall time", {.year = 2024, .month = 7, .day = 15, .hour = 9, .minute = 30}, utc(2024, 7, 15, 13, 30)},
      {"month 13 carries into the next year", {.year = 2023, .month = 13, .day = 1}, utc(2024, 1, 1, 5)},
      {"day 0 is the last of the month before", {.year = 2024, .month = 3, .day = 0}, utc(2024, 2, 29, 5)},
      {"nanoseconds are kept", {.year = 2024, .month = 1, .day = 1, .nanosecond = 500000000}, utc(2024, 1, 1, 5, 0, 0.5)},
      // A wall time the spring change skips moves forward by the change.
      {"skipped wall time", {.year = 2024, .month = 3, .day = 10, .hour = 2, .minute = 30}, utc(2024, 3, 10, 7, 30)},
      // A wall time the autumn change repeats means its first occurrence.
      {"repeated wall time", {.year = 2024, .month = 11, .day = 3, .hour = 1, .minute = 30}, utc(2024, 11, 3, 5, 30)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto date = newYork.dateFromComponents(c.parts);
    ASSERT_TRUE(date.has_value());
    EXPECT_NEAR(date->timeIntervalSince1970(), c.expected.timeIntervalSince1970(), 1e-6);
  }

  // Unset fields take their smallest value: year 1, January 1, midnight.
  auto onlyTime = gregorianIn("UTC").dateFromComponents({.hour = 10});
  ASSERT_TRUE(onlyTime.has_value());
  DateComponents back = gregorianIn("UTC").components(kAllUnits, *onlyTime);
  EXPECT_EQ(back.year, 1);
  EXPECT_EQ(back.month, 1);
  EXPECT_EQ(back.day, 1);
  EXPECT_EQ(back.hour, 10);

  EXPECT_FALSE(newYork.dateFromComponents({.year = int64_t(1) << 40}).has_value());
}

TEST(CalendarTest, ComponentsRoundTripThroughDateFromComponents) {
  for (const char* zoneName : {"UTC", "America/New_York", "Australia/Lord_Howe"}) {
    Calendar calendar = gregorianIn(zoneName);
    for (Date date = utc(2024, 1, 1); date < utc(2025, 1, 1); date = date.addingTimeInterval(86400 * 3 + 3671.5)) {
      DateComponents parts = calendar.components(
          kCalendarUnitYear | kCalendarUnitMonth | kCalendarUnitDay | kCalendarUnitHour | kCalendarUnitMinute |
              kCalendarUnitSecond | kCalendarUnitNanosecond,
          date);
      auto back = calendar.dateFromComponents(parts);
      ASSERT_TRUE(back.has_value());
      // Only wall times repeated by a clock change may not come back.
      if (*back != date) {
        EXPECT_NE(calendar.timeZone().secondsFromGMT(*back), calendar.timeZone().secondsFromGMT(date))
            << zoneName << " " << date.description();
      }
    }
  }
}

TEST(CalendarTest, AddingDaysKeepsTheWallTimeAcrossADaylightSavingChange) {
  Calendar newYork = gregorianIn("America/New_York");
  const Date noonBeforeChange = utc(2024, 3, 9, 17);  // 12:00 EST
  struct Case {
    const char* what;
    DateComponents add;
    Date expected;
  } cases[] = {
      {"one day", {.day = 1}, utc(2024, 3, 10, 16)},  // 12:00 EDT, 23 hours later
      {"24 hours", {.hour = 24}, utc(2024, 3, 10, 17)},  // 13:00 EDT
      {"minus one day", {.day = -1}, utc(2024, 3, 8, 17)},
      {"a week", {.weekOfYear = 1}, utc(2024, 3, 16, 16)},
      {"a month and a day", {.month = 1, .day = 1}, utc(2024, 4, 10, 16)},
      {"90 seconds", {.second = 90}, utc(2024, 3, 9, 17, 1, 30)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto date = newYork.dateByAddingComponents(c.add, noonBeforeChange);
    ASSERT_TRUE(date.has_value());
    EXPECT_EQ(*date, c.expected) << date->description();
  }
}

TEST(CalendarTest, AddingMonthsClampsToTheEndOfTheMonth) {
  Calendar calendar = gregorianIn("UTC");
  EXPECT_EQ(calendar.dateByAdding(kCalendarUnitMonth, 1, utc(2024, 1, 31, 8)), utc(2024, 2, 29, 8));
  EXPECT_EQ(calendar.dateByAdding(kCalendarUnitMonth, 1, utc(2023, 1, 31, 8)), utc(2023, 2, 28, 8));
  EXPECT_EQ(calendar.dateByAdding(kCalendarUnitYear, 1, utc(2024, 2, 29)), utc(2025, 2, 28));
  EXPECT_EQ(calendar.dateByAdding(kCalendarUnitYear, -1, utc(2024, 3, 1)), utc(2023, 3, 1));
}

TEST(CalendarTest, DifferencesBetweenDates) {
  Calendar calendar = gregorianIn("UTC");
  constexpr uint32_t kUnits = kCalendarUnitYear | kCalendarUnitMonth | kCalendarUnitDay | kCalendarUnitHour |
                              kCalendarUnitMinute | kCalendarUnitSecond;
  DateComponents forward = calendar.components(kUnits, utc(2024, 1, 31, 10), utc(2025, 3, 1, 12, 30, 15));
  EXPECT_EQ(forward, (DateComponents{.year = 1, .month = 1, .day = 1, .hour = 2, .minute = 30, .second = 15}));
  DateComponents backward = calendar.components(kUnits, utc(2024, 3, 1), utc(2024, 1, 31));
  EXPECT_EQ(backward, (DateComponents{.year = 0, .month = -1, .day = -1, .hour = 0, .minute = 0, .second = 0}));
  DateComponents days = calendar.components(kCalendarUnitDay, utc(2024, 1, 1), utc(2024, 12, 31, 23));
  EXPECT_EQ(days.day, 365);
  EXPECT_FALSE(days.hour.has_value());
  EXPECT_EQ(calendar.components(kCalendarUnitSecond | kCalendarUnitNanosecond, utc(2024, 1, 1), utc(2024, 1, 1, 0, 0, 1.5)),
            (DateComponents{.second = 1, .nanosecond = 500000000}));
}

TEST(CalendarTest, StartOfDay) {
  struct Case {
    const char* zone;
    Date date;
    Date expected;
  } cases[] = {
      {"UTC", utc(2024, 3, 5, 18, 7, 9.5), utc(2024, 3, 5)},
      {"America/New_York", utc(2024, 3, 5, 3), utc(2024, 3, 4, 5)},  // still the 4th in New York
      {"America/New_York", utc(2024, 3, 10, 19), utc(2024, 3, 10, 5)},  // a 23-hour day
      {"America/New_York", utc(2024, 11, 3, 20), utc(2024, 11, 3, 4)},  // a 25-hour day
      {"Asia/Kathmandu", utc(2024, 3, 5, 18, 30), utc(2024, 3, 5, 18, 15)},
      // Midnight did not exist here: the clocks went from 00:00 to 01:00.
      {"America/Sao_Paulo", utc(2018, 11, 4, 15), utc(2018, 11, 4, 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.date.description());
    EXPECT_EQ(gregorianIn(c.zone).startOfDay(c.date), c.expected) << gregorianIn(c.zone).startOfDay(c.date).description();
  }
}

TEST(CalendarTest, DaysBetweenCountCalendarDays) {
  struct Case {
    const char* what;
    const char* zone;
    Date from, to;
    int64_t days;
  } cases[] = {
      {"late evening to just after midnight", "UTC", utc(2024, 3, 4, 23, 30), utc(2024, 3, 5, 0, 10), 1},
      {"same day", "UTC", utc(2024, 3, 5, 0, 1), utc(2024, 3, 5, 23, 59), 0},
      {"backwards", "UTC", utc(2024, 3, 5, 0, 10), utc(2024, 3, 4, 23, 30), -1},
      {"across the spring change", "America/New_York", utc(2024, 3, 9, 5, 30), utc(2024, 3, 11, 4, 30), 2},
      {"across the autumn change", "America/New_York", utc(2024, 11, 2, 4, 30), utc(2024, 11, 4, 5, 30), 2},
      {"a leap year", "UTC", utc(2024, 1, 1, 12), utc(2025, 1, 1, 1), 366},
      // Same instants, different zones, different day counts.
      {"zone matters (UTC)", "UTC", utc(2024, 3, 5, 2), utc(2024, 3, 5, 6), 0},
      {"zone matters (New York)", "America/New_York", utc(2024, 3, 5, 2), utc(2024, 3, 5, 6), 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(gregorianIn(c.zone).numberOfDaysBetween(c.from, c.to), c.days) << c.what;
  }
}

TEST(CalendarTest, TodayYesterdayAndTomorrowFollowTheVirtualClock) {
  testing::TimeStateGuard guard;
  Calendar newYork = gregorianIn("America/New_York");
  // Just after midnight on the day the clocks go forward.
  Clock::useVirtual(utc(2024, 3, 10, 5, 10));
  struct Case {
    Date date;
    bool today, yesterday, tomorrow;
  } cases[] = {
      {utc(2024, 3, 10, 5, 0), true, false, false},    // 00:00 EST
      {utc(2024, 3, 11, 3, 59), true, false, false},   // 23:59 EDT
      {utc(2024, 3, 10, 4, 59), false, true, false},   // 23:59 the day before
      {utc(2024, 3, 9, 5, 0), false, true, false},     // 00:00 the day before
      {utc(2024, 3, 11, 4, 0), false, false, true},    // 00:00 EDT the next day
      {utc(2024, 3, 8, 12), false, false, false},
      {utc(2024, 3, 12, 12), false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date.description());
    EXPECT_EQ(newYork.isDateInToday(c.date), c.today);
    EXPECT_EQ(newYork.isDateInYesterday(c.date), c.yesterday);
    EXPECT_EQ(newYork.isDateInTomorrow(c.date), c.tomorrow);
  }
  // Moving the clock a day moves "today".
  Clock::advance(86400);
  EXPECT_TRUE(newYork.isDateInYesterday(utc(2024, 3, 10, 12)));
  EXPECT_TRUE(newYork.isDateInSameDayAsDate(utc(2024, 3, 10, 5), utc(2024, 3, 11, 3, 59)));
  EXPECT_FALSE(newYork.isDateInSameDayAsDate(utc(2024, 3, 10, 5), utc(2024, 3, 10, 4, 59)));
}

TEST(CalendarTest, AnUnsetZoneFollowsTheDefaultZone) {
  testing::TimeStateGuard guard;
  Calendar calendar;
  calendar.setLocale(Locale("en_US"));
  TimeZone::setDefault(TimeZone::utc());
  EXPECT_EQ(calendar.component(kCalendarUnitHour, utc(2024, 1, 1, 12)), 12);
  TimeZone::setDefault(zone("Asia/Tokyo"));
  EXPECT_EQ(calendar.component(kCalendarUnitHour, utc(2024, 1, 1, 12)), 21);
  EXPECT_EQ(calendar.timeZone().name(), "Asia/Tokyo");

  Calendar fixed = calendar;
  fixed.setTimeZone(TimeZone::utc());
  TimeZone::setDefault(zone("America/New_York"));
  EXPECT_EQ(fixed.component(kCalendarUnitHour, utc(2024, 1, 1, 12)), 12);
  EXPECT_EQ(calendar.component(kCalendarUnitHour, utc(2024, 1, 1, 12)), 7);
}

TEST(CalendarTest, ASharedCalendarGivesEachThreadItsOwnAnswer) {
  const Calendar calendar = gregorianIn("America/New_York");
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        int day = 1 + (t * 7 + i) % 28;
        Date date = utc(2024, 6, day, 16);  // noon EDT
        DateComponents parts = calendar.components(kCalendarUnitDay | kCalendarUnitHour, date);
        if (parts.day != day || parts.hour != 12) ++wrong;
        if (calendar.startOfDay(date) != utc(2024, 6, day, 4)) ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace ns
