#include <gtest/gtest.h>

#include "Platform/Foundation/ISO8601.h"
#include "Platform/Foundation/tests/time_test_support.h"

namespace ns {
namespace {

using testing::utc;
using testing::zone;

TEST(ISO8601Test, Writing) {
  const Date winter = utc(2024, 3, 5, 18, 7, 9.123);
  const Date summer = utc(2024, 7, 4, 3, 0, 0.5);
  struct Case {
    Date date;
    bool fractional;
    const char* zone;
    const char* expected;
  } cases[] = {
      {winter, false, "UTC", "2024-03-05T18:07:09Z"},
      {winter, true, "UTC", "2024-03-05T18:07:09.123Z"},
      {winter, false, "America/New_York", "2024-03-05T13:07:09-05:00"},
      {summer, true, "America/New_York", "2024-07-03T23:00:00.500-04:00"},
      {summer, false, "Asia/Kathmandu", "2024-07-04T08:45:00+05:45"},
      {utc(1969, 12, 31, 23, 59, 59.25), true, "UTC", "1969-12-31T23:59:59.250Z"},
      {Date(0), false, "GMT", "2001-01-01T00:00:00Z"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ISO8601::stringFromDate(c.date, c.fractional, zone(c.zone)), c.expected);
  }
  EXPECT_EQ(ISO8601::stringFromDate(winter), "2024-03-05T18:07:09Z");
}

TEST(ISO8601Test, Reading) {
  struct Case {
    const char* text;
    Date expected;
  } cases[] = {
      {"2024-03-05T18:07:09Z", utc(2024, 3, 5, 18, 7, 9)},
      {"2024-03-05T18:07:09.123Z", utc(2024, 3, 5, 18, 7, 9.123)},
      {"2024-03-05T18:07:09.1Z", utc(2024, 3, 5, 18, 7, 9.1)},
      {"2024-03-05T18:07:09.123456z", utc(2024, 3, 5, 18, 7, 9.123456)},
      {"2024-03-05t13:07:09-05:00", utc(2024, 3, 5, 18, 7, 9)},
      {"2024-03-06T00:52:09+0645", utc(2024, 3, 5, 18, 7, 9)},
      {"2024-03-05T20:07:09+02", utc(2024, 3, 5, 18, 7, 9)},
      {"2024-02-29T00:00:00Z", utc(2024, 2, 29)},
      {"2000-02-29T23:59:59Z", utc(2000, 2, 29, 23, 59, 59)},
      {"1969-07-20T20:17:40Z", utc(1969, 7, 20, 20, 17, 40)},
  };
  for (const Case& c : cases) {
    auto date = ISO8601::dateFromString(c.text);
    ASSERT_TRUE(date.has_value()) << c.text;
    EXPECT_NEAR(date->timeIntervalSince1970(), c.expected.timeIntervalSince1970(), 1e-6) << c.text;
  }
}

TEST(ISO8601Test, MalformedOrImpossibleTextIsAbsent) {
  for (const char* text : {"", "2024-03-05", "2024-03-05T18:07:09", "2024-03-05 18:07:09Z", "2024-03-05T18:07Z",
                           "2024-3-05T18:07:09Z", "2024-03-05T18:07:09.Z", "2024-03-05T18:07:09+5",
                           "2024-03-05T18:07:09+05:0", "2024-03-05T18:07:09+24:00", "2024-03-05T18:07:09Zjunk",
                           "2024-13-05T18:07:09Z", "2023-02-29T00:00:00Z", "1900-02-29T00:00:00Z",
                           "2024-04-31T00:00:00Z", "2024-03-05T24:00:00Z", "2024-03-05T18:60:00Z",
                           "2024-03-05T18:07:60Z", "２０２４-03-05T18:07:09Z"}) {
    EXPECT_FALSE(ISO8601::dateFromString(text).has_value()) << text;
  }
}

TEST(ISO8601Test, RoundTripsInSeveralZones) {
  for (const char* zoneName : {"UTC", "America/New_York", "Asia/Kathmandu", "Pacific/Chatham"}) {
    for (Date date = utc(2023, 12, 31, 22); date < utc(2025, 1, 2); date = date.addingTimeInterval(86400 * 5 + 3599.375)) {
      std::string text = ISO8601::stringFromDate(date, true, zone(zoneName));
      auto back = ISO8601::dateFromString(text);
      ASSERT_TRUE(back.has_value()) << text;
      EXPECT_NEAR(back->timeIntervalSince1970(), date.timeIntervalSince1970(), 1e-6) << text;
    }
  }
}

}  // namespace
}  // namespace ns
