#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/DateFormatter.h"
#include "Platform/Foundation/tests/time_test_support.h"

namespace ns {
namespace {

using testing::utc;
using testing::zone;

std::unique_ptr<DateFormatter> fixedFormatter(const std::string& pattern, const TimeZone& timeZone) {
  auto formatter = std::make_unique<DateFormatter>();
  formatter->setLocale(Locale::posix());
  formatter->setTimeZone(timeZone);
  formatter->setDateFormat(pattern);
  return formatter;
}

const char* const kPatterns[] = {
    "yyyy-MM-dd HH-mm-ss",
    "yyyy/MM/dd HH:mm:ss:SSS",
    "yyyy-MM-dd HH:mm:ss:SSS",
    "yyyy'-'MM'-'dd'--'HH'-'mm'-'ss'-'SSS'",
    "yyyy-MM-dd'T'HH:mm:ssZ",
    "EEE, dd MMM yyyy HH:mm:ss zzz",
};

TEST(DateFormatterTest, FixedPatternsWriteTheWallTimeOfTheirZone) {
  const Date date = utc(2024, 3, 5, 18, 7, 9.123);
  struct Case {
    const char* pattern;
    const char* zone;
    const char* expected;
  } cases[] = {
      {"yyyy-MM-dd HH-mm-ss", "UTC", "2024-03-05 18-07-09"},
      {"yyyy-MM-dd HH-mm-ss", "America/New_York", "2024-03-05 13-07-09"},
      {"yyyy/MM/dd HH:mm:ss:SSS", "UTC", "2024/03/05 18:07:09:123"},
      {"yyyy'-'MM'-'dd'--'HH'-'mm'-'ss'-'SSS'", "UTC", "2024-03-05--18-07-09-123"},
      {"yyyy-MM-dd'T'HH:mm:ssZ", "America/New_York", "2024-03-05T13:07:09-0500"},
      {"yyyy-MM-dd'T'HH:mm:ssZ", "UTC", "2024-03-05T18:07:09+0000"},
      {"EEE, dd MMM yyyy HH:mm:ss zzz", "GMT", "Tue, 05 Mar 2024 18:07:09 GMT"},
      {"EEE, dd MMM yyyy HH:mm:ss zzz", "America/New_York", "Tue, 05 Mar 2024 13:07:09 EST"},
      {"HH:mm:ss.SSS", "Asia/Kathmandu", "23:52:09.123"},
      {"yyyy-MM-dd", "Asia/Tokyo", "2024-03-06"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fixedFormatter(c.pattern, zone(c.zone))->stringFromDate(date), c.expected) << c.pattern << " " << c.zone;
  }
}

TEST(DateFormatterTest, FixedPatternsRoundTripInTwoZonesAroundDaylightSavingChanges) {
  // Around both 2024 changes in New York, avoiding the repeated hour that a
  // pattern without an offset cannot tell apart (tested below).
  const Date dates[] = {
      utc(2024, 3, 10, 6, 59, 59),   // 01:59:59 EST, just before the spring change
      utc(2024, 3, 10, 7, 0, 0),     // 03:00:00 EDT, just after it
      utc(2024, 3, 10, 4, 30, 0.5),  // the evening before, in UTC another day
      utc(2024, 11, 3, 4, 59, 59),   // 00:59:59 EDT, before the autumn change
      utc(2024, 11, 3, 7, 0, 0.25),  // 02:00:00 EST, after it
      utc(2024, 12, 31, 23, 59, 59.999),
      utc(2001, 1, 1),
  };
  for (const char* pattern : kPatterns) {
    for (const char* zoneName : {"UTC", "America/New_York"}) {
      auto formatter = fixedFormatter(pattern, zone(zoneName));
      bool keepsMillis = std::string(pattern).find("SSS") != std::string::npos;
      for (Date date : dates) {
        SCOPED_TRACE(std::string(pattern) + " in " + zoneName + " at " + date.description());
        std::string text = formatter->stringFromDate(date);
        auto back = formatter->dateFromString(text);
        ASSERT_TRUE(back.has_value()) << text;
        double expected = keepsMillis ? std::floor(date.timeIntervalSince1970() * 1000 + 1e-3) / 1000
                                      : std::floor(date.timeIntervalSince1970());
        EXPECT_NEAR(back->timeIntervalSince1970(), expected, 1e-6) << text;
      }
    }
  }
}

TEST(DateFormatterTest, TheRepeatedHourReadsAsItsFirstOccurrenceUnlessTheOffsetSaysOtherwise) {
  auto newYork = zone("America/New_York");
  auto plain = fixedFormatter("yyyy-MM-dd HH-mm-ss", newYork);
  EXPECT_EQ(plain->stringFromDate(utc(2024, 11, 3, 5, 30)), "2024-11-03 01-30-00");
  EXPECT_EQ(plain->stringFromDate(utc(2024, 11, 3, 6, 30)), "2024-11-03 01-30-00");
  EXPECT_EQ(plain->dateFromString("2024-11-03 01-30-00"), utc(2024, 11, 3, 5, 30));

  auto withZone = fixedFormatter("EEE, dd MMM yyyy HH:mm:ss zzz", newYork);
  EXPECT_EQ(withZone->stringFromDate(utc(2024, 11, 3, 6, 30)), "Sun, 03 Nov 2024 01:30:00 EST");
  EXPECT_EQ(withZone->dateFromString("Sun, 03 Nov 2024 01:30:00 EST"), utc(2024, 11, 3, 6, 30));
  EXPECT_EQ(withZone->dateFromString("Sun, 03 Nov 2024 01:30:00 EDT"), utc(2024, 11, 3, 5, 30));
}

TEST(DateFormatterTest, TextThatDoesNotMatchIsAbsent) {
  auto backupNames = fixedFormatter("yyyy-MM-dd HH-mm-ss", zone("America/New_York"));
  for (const char* text : {"", "garbage", "2024-03-05", "2024-03-05 18-07-09 trailing",
                           "2024-13-01 00-00-00", "2024-02-30 10-00-00", "2023-02-29 10-00-00", "2024-03-05 25-00-00",
                           "2024-03-05 18-60-00", "2024-03-05 18:07:09"}) {
    EXPECT_FALSE(backupNames->dateFromString(text).has_value()) << text;
  }
  auto rfc = fixedFormatter("EEE, dd MMM yyyy HH:mm:ss zzz", TimeZone::gmt());
  EXPECT_FALSE(rfc->dateFromString("Tue, 05 Foo 2024 18:07:09 GMT").has_value());
  EXPECT_FALSE(rfc->dateFromString("Tue, 05 Mar 2024 18:07:09 XYZ").has_value());

  DateFormatter noPattern;
  EXPECT_FALSE(noPattern.dateFromString("2024-03-05").has_value());
  EXPECT_EQ(noPattern.stringFromDate(utc(2024, 3, 5)), "");
}

TEST(DateFormatterTest, MissingFieldsComeFromTheFirstDayOf2000) {
  auto timeOnly = fixedFormatter("HH:mm:ss.SSS", zone("America/New_York"));
  EXPECT_EQ(timeOnly->dateFromString("10:20:30.400"), utc(2000, 1, 1, 15, 20, 30.4));
  auto dayOnly = fixedFormatter("yyyy-MM-dd", TimeZone::utc());
  EXPECT_EQ(dayOnly->dateFromString("2024-03-05"), utc(2024, 3, 5));
}

TEST(DateFormatterTest, StylesFollowTheLocale) {
  const Date date = utc(2024, 3, 5, 18, 7, 9);
  using S = DateFormatterStyle;
  struct Case {
    const char* locale;
    S dateStyle, timeStyle;
    const char* expected;
  } cases[] = {
      {"en_US", S::Short, S::None, "3/5/24"},
      {"en_US", S::Medium, S::None, "Mar 5, 2024"},
      {"en_US", S::Long, S::None, "March 5, 2024"},
      {"en_US", S::Full, S::None, "Tuesday, March 5, 2024"},
      {"en_US", S::None, S::Short, "1:07\u202fPM"},
      {"en_US", S::None, S::Medium, "1:07:09\u202fPM"},
      {"en_US", S::Short, S::Short, "3/5/24, 1:07\u202fPM"},
      {"en_GB", S::Short, S::Short, "05/03/2024, 13:07"},
      {"de_DE", S::Medium, S::None, "05.03.2024"},
      {"de_DE", S::Long, S::Short, "5. März 2024 um 13:07"},
      {"en_US", S::None, S::None, ""},
  };
  for (const Case& c : cases) {
    DateFormatter formatter;
    formatter.setLocale(Locale(c.locale));
    formatter.setTimeZone(zone("America/New_York"));
    formatter.setDateStyle(c.dateStyle);
    formatter.setTimeStyle(c.timeStyle);
    EXPECT_EQ(formatter.stringFromDate(date), c.expected) << c.locale << " " << int(c.dateStyle) << int(c.timeStyle);
  }
}

TEST(DateFormatterTest, AStyleGivesThePatternAndAFixedPatternReplacesIt) {
  DateFormatter formatter;
  formatter.setLocale(Locale("en_US"));
  formatter.setDateStyle(DateFormatterStyle::Short);
  EXPECT_EQ(formatter.dateFormat(), "M/d/yy");
  formatter.setDateFormat("yyyy");
  EXPECT_EQ(formatter.dateFormat(), "yyyy");
  EXPECT_EQ(formatter.dateStyle(), DateFormatterStyle::Short);
  formatter.setTimeStyle(DateFormatterStyle::Short);
  EXPECT_EQ(formatter.dateFormat(), "M/d/yy, h:mm\u202fa");
}

TEST(DateFormatterTest, AStyleFormatterReadsBackWhatItWrote) {
  DateFormatter formatter;
  formatter.setLocale(Locale("en_US"));
  formatter.setTimeZone(zone("America/New_York"));
  formatter.setDateStyle(DateFormatterStyle::Medium);
  formatter.setTimeStyle(DateFormatterStyle::Medium);
  const Date date = utc(2024, 7, 4, 16, 30, 15);
  EXPECT_EQ(formatter.dateFromString(formatter.stringFromDate(date)), date);
}

class RelativeFormattingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 12:00 in New York.
    Clock::useVirtual(utc(2024, 3, 5, 17));
    formatter_.setLocale(Locale("en_US"));
    formatter_.setTimeZone(zone("America/New_York"));
    formatter_.setDoesRelativeDateFormatting(true);
  }
  testing::TimeStateGuard guard_;
  DateFormatter formatter_;
};

TEST_F(RelativeFormattingTest, DaysNextToTodayAreNamed) {
  formatter_.setDateStyle(DateFormatterStyle::Short);
  struct Case {
    Date date;
    const char* expected;
  } cases[] = {
      {utc(2024, 3, 5, 5), "Today"},          // 00:00
      {utc(2024, 3, 6, 4, 59), "Today"},      // 23:59
      {utc(2024, 3, 5, 4, 59), "Yesterday"},  // 23:59 the day before
      {utc(2024, 3, 4, 5), "Yesterday"},
      {utc(2024, 3, 6, 5), "Tomorrow"},
      {utc(2024, 3, 4, 4, 59), "3/3/24"},
      {utc(2024, 3, 7, 5), "3/7/24"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatter_.stringFromDate(c.date), c.expected) << c.date.description();
  }
}

TEST_F(RelativeFormattingTest, TheDayNameJoinsTheTime) {
  formatter_.setDateStyle(DateFormatterStyle::Medium);
  formatter_.setTimeStyle(DateFormatterStyle::Short);
  EXPECT_EQ(formatter_.stringFromDate(utc(2024, 3, 4, 20, 15)), "Yesterday, 3:15\u202fPM");
  EXPECT_EQ(formatter_.stringFromDate(utc(2024, 3, 1, 20, 15)), "Mar 1, 2024, 3:15\u202fPM");
}

TEST_F(RelativeFormattingTest, TodayMovesWithTheVirtualClock) {
  formatter_.setDateStyle(DateFormatterStyle::Short);
  const Date date = utc(2024, 3, 5, 17);
  EXPECT_EQ(formatter_.stringFromDate(date), "Today");
  Clock::advance(86400);
  EXPECT_EQ(formatter_.stringFromDate(date), "Yesterday");
  Clock::advance(86400);
  EXPECT_EQ(formatter_.stringFromDate(date), "3/5/24");
}

TEST_F(RelativeFormattingTest, NoDateStyleMeansNoDayName) {
  formatter_.setTimeStyle(DateFormatterStyle::Short);
  EXPECT_EQ(formatter_.stringFromDate(utc(2024, 3, 5, 13)), "8:00\u202fAM");
}

TEST(DateFormatterTest, TemplatesGiveTheLocalesBestPattern) {
  EXPECT_EQ(DateFormatter::dateFormatFromTemplate("yMMMd", Locale("en_US")), "MMM d, y");
  EXPECT_EQ(DateFormatter::dateFormatFromTemplate("yMMMd", Locale("de_DE")), "d. MMM y");
  EXPECT_EQ(DateFormatter::dateFormatFromTemplate("Hm", Locale("en_US")), "HH:mm");
  EXPECT_FALSE(DateFormatter::dateFormatFromTemplate("", Locale("en_US")).has_value());

  DateFormatter formatter;
  formatter.setLocale(Locale("en_US"));
  formatter.setTimeZone(TimeZone::utc());
  formatter.setLocalizedDateFormatFromTemplate("yMMMd");
  EXPECT_EQ(formatter.stringFromDate(utc(2024, 3, 5)), "Mar 5, 2024");
}

TEST(DateFormatterTest, AnUnsetZoneFollowsTheDefaultZone) {
  testing::TimeStateGuard guard;
  DateFormatter formatter;
  formatter.setLocale(Locale::posix());
  formatter.setDateFormat("HH:mm");
  TimeZone::setDefault(TimeZone::utc());
  EXPECT_EQ(formatter.stringFromDate(utc(2024, 1, 1, 12)), "12:00");
  TimeZone::setDefault(zone("Asia/Kathmandu"));
  EXPECT_EQ(formatter.stringFromDate(utc(2024, 1, 1, 12)), "17:45");
  EXPECT_EQ(formatter.timeZone().name(), "Asia/Kathmandu");
}

TEST(DateFormatterTest, OneFormatterSharedByThreads) {
  auto formatter = fixedFormatter("yyyy/MM/dd HH:mm:ss:SSS", zone("America/New_York"));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 1000; ++i) {
        Date date = utc(2024, 1 + (t * 3 + i) % 12, 1 + i % 28, i % 24, i % 60, (i % 60) + 0.5);
        auto back = formatter->dateFromString(formatter->stringFromDate(date));
        if (!back || *back != date) ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace ns
