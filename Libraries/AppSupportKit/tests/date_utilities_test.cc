// The kit's date helpers in a zone with clock changes, on the virtual clock.
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/NSDateUtilities.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/TimeZone.h"

namespace {

using namespace NSDateUtilities;

class DateUtilitiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ns::TimeZone::setDefault(*ns::TimeZone::named("Europe/Berlin"));
    ns::Clock::useVirtual(at(2026, 5, 13, 9, 0));  // a Wednesday
  }
  void TearDown() override {
    ns::Clock::useReal();
    ns::TimeZone::resetDefault();
  }
  static ns::Date at(int64_t y, int64_t mo, int64_t d, int64_t h, int64_t mi, int64_t s = 0) {
    return *currentCalendar().dateFromComponents(
        ns::DateComponents{.year = y, .month = mo, .day = d, .hour = h, .minute = mi, .second = s});
  }
};

TEST_F(DateUtilitiesTest, DifferencesTruncateAndDaysSinceCountsCalendarDays) {
  ns::Date receiver = at(2026, 5, 13, 0, 10);
  ns::Date evening = at(2026, 5, 12, 23, 30);
  EXPECT_EQ(daysSinceDate(receiver, evening), 1);
  EXPECT_EQ(daysAfterDate(receiver, evening), 0);
  EXPECT_EQ(minutesAfterDate(receiver, receiver.addingTimeInterval(-90)), 1);
  EXPECT_EQ(minutesAfterDate(receiver, receiver.addingTimeInterval(90)), -1);
  EXPECT_EQ(minutesBeforeDate(receiver, receiver.addingTimeInterval(90)), 1);
  EXPECT_EQ(hoursAfterDate(receiver, evening), 0);
  EXPECT_EQ(daysBeforeDate(evening, receiver.addingTimeInterval(kDay)), 1);
  // Across the spring clock change the start-of-day dates are 23 hours
  // apart; the days are still one apart.
  EXPECT_EQ(daysSinceDate(at(2026, 3, 29, 12, 0), at(2026, 3, 28, 12, 0)), 1);
  EXPECT_EQ(daysSinceDate(at(2026, 10, 26, 0, 0), at(2026, 10, 24, 23, 59)), 2);
}

TEST_F(DateUtilitiesTest, HoursArePlainSecondsAndDaysKeepTheTimeOfDay) {
  ns::Date before = at(2026, 3, 28, 12, 0);  // the clock goes forward that night
  EXPECT_EQ(dateByAddingDays(before, 1), at(2026, 3, 29, 12, 0));
  EXPECT_EQ(dateByAddingHours(before, 24), at(2026, 3, 29, 13, 0));
  EXPECT_EQ(dateBySubtractingMinutes(before, 90), at(2026, 3, 28, 10, 30));
  EXPECT_EQ(dateByAddingMonths(at(2026, 1, 31, 8, 0), 1), at(2026, 2, 28, 8, 0));
  EXPECT_EQ(dateBySubtractingYears(at(2026, 5, 13, 8, 0), 2), at(2024, 5, 13, 8, 0));
  EXPECT_EQ(dateAtStartOfDay(before), at(2026, 3, 28, 0, 0));
  EXPECT_EQ(dateAtEndOfDay(before), at(2026, 3, 28, 23, 59, 59));
  EXPECT_EQ(dateWithDateFromAndTimeFrom(before, at(2020, 1, 2, 7, 8, 9)), at(2026, 3, 28, 7, 8, 9));
  EXPECT_EQ(dateWithHoursBeforeNow(2), at(2026, 5, 13, 7, 0));
  EXPECT_EQ(dateTomorrow(), at(2026, 5, 14, 9, 0));
}

TEST_F(DateUtilitiesTest, FixingToTheFutureKeepsTheTimeOfDay) {
  ns::Date weekAgo = at(2026, 5, 6, 8, 0);
  EXPECT_EQ(dateByFixingToTodayOrFuture(weekAgo), at(2026, 5, 13, 8, 0));
  EXPECT_EQ(dateByFixingToFuture(weekAgo), at(2026, 5, 14, 8, 0));
  ns::Date later = at(2026, 5, 13, 10, 0);
  EXPECT_EQ(dateByFixingToTodayOrFuture(later), later);
  EXPECT_EQ(dateByFixingToFuture(at(2026, 5, 1, 10, 0)), later);
}

TEST_F(DateUtilitiesTest, Comparisons) {
  ns::Date now = ns::Date::now();
  EXPECT_FALSE(isEqualToDateIgnoringTime(now, std::nullopt));
  EXPECT_FALSE(isEqualToTimeIgnoringDate(now, std::nullopt));
  EXPECT_TRUE(isSameDayAsDate(now, at(2026, 5, 13, 23, 59)));
  EXPECT_TRUE(isEqualToTimeIgnoringDate(now, at(2019, 2, 3, 9, 0)));
  EXPECT_TRUE(isToday(at(2026, 5, 13, 0, 0)));
  EXPECT_TRUE(isTomorrow(at(2026, 5, 14, 23, 0)));
  EXPECT_TRUE(isYesterday(at(2026, 5, 12, 1, 0)));
  // A calendar week across a month's end counts as two.
  EXPECT_FALSE(isSameWeekAsDate(at(2026, 4, 30, 12, 0), at(2026, 5, 1, 12, 0)));
  EXPECT_TRUE(isSameWeekAsDate(at(2026, 5, 11, 12, 0), at(2026, 5, 15, 12, 0)));
  EXPECT_TRUE(isThisWeek(at(2026, 5, 14, 12, 0)));
  EXPECT_TRUE(isNextWeek(at(2026, 5, 20, 12, 0)));
  EXPECT_TRUE(isLastMonth(at(2026, 4, 2, 12, 0)));
  EXPECT_TRUE(isNextMonth(at(2026, 6, 30, 12, 0)));
  EXPECT_TRUE(isNextYear(at(2027, 1, 1, 0, 0)));
  EXPECT_TRUE(isLastYear(at(2025, 12, 31, 23, 0)));
  EXPECT_TRUE(isInPast(at(2026, 5, 13, 8, 59)));
  EXPECT_FALSE(isInFuture(now));
  EXPECT_TRUE(isEarlierThanDate(at(2026, 5, 13, 8, 59), now));
  EXPECT_TRUE(isTypicallyWeekend(at(2026, 5, 16, 12, 0)));  // Saturday
  EXPECT_TRUE(isTypicallyWeekend(at(2026, 5, 17, 12, 0)));  // Sunday
  EXPECT_TRUE(isTypicallyWorkday(now));
}

TEST_F(DateUtilitiesTest, ComponentsAndFormats) {
  ns::Date date = at(2026, 5, 13, 21, 47, 5);
  EXPECT_EQ(year(date), 2026);
  EXPECT_EQ(month(date), 5);
  EXPECT_EQ(day(date), 13);
  EXPECT_EQ(hour(date), 21);
  EXPECT_EQ(minute(date), 47);
  EXPECT_EQ(seconds(date), 5);
  EXPECT_EQ(weekday(date), 4);
  EXPECT_EQ(nthWeekday(date), 2);
  EXPECT_EQ(weekOfYear(date), weekOfYear(at(2026, 5, 12, 0, 0)));
  EXPECT_EQ(nearestHour(date), 9);  // from now, 09:00 + 30 minutes
  ns::Clock::advance(30 * 60);
  EXPECT_EQ(nearestHour(date), 10);
  EXPECT_EQ(stringWithFormat(date, "yyyy-MM-dd HH:mm:ss"), "2026-05-13 21:47:05");
  ns::DateComponents offset = componentsWithOffsetFromDate(date, at(2026, 5, 13, 20, 46, 0));
  EXPECT_EQ(offset.hour, 1);
  EXPECT_EQ(offset.minute, 1);
  EXPECT_EQ(offset.second, 5);
}

}  // namespace
