#include <gtest/gtest.h>

#include <filesystem>

#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/TimeZone.h"
#include "Platform/Foundation/tests/time_test_support.h"

namespace ns {
namespace {

using testing::utc;

TEST(TimeZoneTest, OffsetsAndAbbreviationsFollowTheZoneRules) {
  const Date winter = utc(2024, 1, 15, 12);
  const Date summer = utc(2024, 7, 15, 12);
  struct Case {
    const char* name;
    Date date;
    int offset;
    const char* abbreviation;
    bool daylight;
  } cases[] = {
      {"America/New_York", winter, -5 * 3600, "EST", false},
      {"America/New_York", summer, -4 * 3600, "EDT", true},
      {"Europe/London", summer, 3600, "GMT+1", true},
      {"Asia/Kathmandu", summer, 5 * 3600 + 45 * 60, "GMT+5:45", false},
      {"Australia/Adelaide", winter, 10 * 3600 + 30 * 60, "GMT+10:30", true},
      {"UTC", summer, 0, "UTC", false},
      {"GMT", winter, 0, "GMT", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto zone = TimeZone::named(c.name);
    ASSERT_TRUE(zone.has_value());
    EXPECT_EQ(zone->name(), c.name);
    EXPECT_EQ(zone->secondsFromGMT(c.date), c.offset);
    EXPECT_EQ(zone->abbreviation(c.date), c.abbreviation);
    EXPECT_EQ(zone->isDaylightSavingTime(c.date), c.daylight);
  }
}

TEST(TimeZoneTest, OffsetChangesAtTheTransitionInstant) {
  auto newYork = testing::zone("America/New_York");
  // 2024-03-10 02:00 EST becomes 03:00 EDT at 07:00 UTC.
  EXPECT_EQ(newYork.secondsFromGMT(utc(2024, 3, 10, 6, 59, 59)), -5 * 3600);
  EXPECT_EQ(newYork.secondsFromGMT(utc(2024, 3, 10, 7)), -4 * 3600);
  EXPECT_EQ(newYork.daylightSavingTimeOffset(utc(2024, 3, 10, 7)), 3600);
}

TEST(TimeZoneTest, UnknownNamesAreAbsent) {
  for (const char* name : {"", "Nowhere/Atlantis", "America/New York", "GMT+99"}) {
    EXPECT_FALSE(TimeZone::named(name).has_value()) << name;
  }
}

TEST(TimeZoneTest, FixedOffsetZones) {
  struct Case {
    int seconds;
    const char* name;
  } cases[] = {{0, "GMT"}, {20700, "GMT+0545"}, {-12600, "GMT-0330"}, {14 * 3600, "GMT+1400"}};
  for (const Case& c : cases) {
    auto zone = TimeZone::forSecondsFromGMT(c.seconds);
    ASSERT_TRUE(zone.has_value()) << c.seconds;
    EXPECT_EQ(zone->name(), c.name);
    EXPECT_EQ(zone->secondsFromGMT(utc(2024, 7, 1)), c.seconds);
    // The name reads back as the same zone.
    EXPECT_EQ(TimeZone::named(c.name)->secondsFromGMT(utc(2024, 7, 1)), c.seconds);
  }
  EXPECT_FALSE(TimeZone::forSecondsFromGMT(19 * 3600).has_value());
}

class DeviceTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("quillbox-time-" + std::to_string(::getpid()));
    Device::boot(dir_.string());
  }
  void TearDown() override {
    Device::current().setFacts(DeviceFacts{});
    std::filesystem::remove_all(dir_);
  }
  void setDevice(const char* zoneName, const char* localeIdentifier) {
    DeviceFacts facts;
    facts.timeZoneName = zoneName;
    facts.localeIdentifier = localeIdentifier;
    Device::current().setFacts(facts);
  }
  std::filesystem::path dir_;
  testing::TimeStateGuard guard_;
};

TEST_F(DeviceTimeTest, DefaultZoneIsTheDeviceZoneUnlessOverridden) {
  setDevice("Asia/Tokyo", "ja_JP");
  EXPECT_EQ(TimeZone::system().name(), "Asia/Tokyo");
  EXPECT_EQ(TimeZone::defaultZone().name(), "Asia/Tokyo");

  TimeZone::setDefault(testing::zone("America/New_York"));
  EXPECT_EQ(TimeZone::defaultZone().name(), "America/New_York");
  EXPECT_EQ(TimeZone::system().name(), "Asia/Tokyo");

  TimeZone::resetDefault();
  setDevice("Europe/Paris", "fr_FR");
  EXPECT_EQ(TimeZone::defaultZone().name(), "Europe/Paris");
}

TEST_F(DeviceTimeTest, UnknownDeviceZoneFallsBackToGMT) {
  setDevice("Not/AZone", "en_US");
  EXPECT_EQ(TimeZone::system().name(), "GMT");
}

TEST_F(DeviceTimeTest, CurrentLocaleAndPreferredLanguagesFollowTheDevice) {
  setDevice("UTC", "de_DE");
  EXPECT_EQ(Locale::current().identifier(), "de_DE");
  EXPECT_EQ(Locale::preferredLanguages(), std::vector<std::string>{"de-DE"});
  setDevice("UTC", "zh_Hans_CN");
  EXPECT_EQ(Locale::preferredLanguages(), std::vector<std::string>{"zh-Hans-CN"});
}

TEST(LocaleTest, CodesOfAnIdentifier) {
  struct Case {
    const char* identifier;
    const char* language;
    std::optional<std::string> region;
    std::optional<std::string> script;
    std::optional<std::string> currency;
  } cases[] = {
      {"en_US_POSIX", "en", "US", std::nullopt, "USD"},
      {"de_DE", "de", "DE", std::nullopt, "EUR"},
      {"es_419", "es", "419", std::nullopt, std::nullopt},
      {"fr", "fr", std::nullopt, std::nullopt, std::nullopt},
      {"zh_Hant_TW", "zh", "TW", "Hant", "TWD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.identifier);
    Locale locale(c.identifier);
    EXPECT_EQ(locale.languageCode(), c.language);
    EXPECT_EQ(locale.regionCode(), c.region);
    EXPECT_EQ(locale.scriptCode(), c.script);
    EXPECT_EQ(locale.currencyCode(), c.currency);
  }
}

}  // namespace
}  // namespace ns
