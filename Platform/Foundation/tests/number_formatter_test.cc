#include <gtest/gtest.h>

#include <optional>

#include "Platform/Foundation/NumberFormatter.h"

namespace ns {
namespace {

TEST(NumberFormatterTest, TheWholeTextIsOneNumberOfTheLocale) {
  struct Case {
    const char* locale;
    const char* text;
    std::optional<double> expected;
  } cases[] = {
      {"en_US", "90000", 90000},
      {"en_US", "-900", -900},
      {"en_US", "0", 0},
      {"en_US", "1.5", 1.5},
      {"en_US", "1,234", 1234},
      {"en_US", "true", std::nullopt},
      {"en_US", "1x", std::nullopt},
      {"en_US", "", std::nullopt},
      {"en_US", "12 ", std::nullopt},
      {"en_US", "\xff", std::nullopt},
      {"de_DE", "1,5", 1.5},
      {"de_DE", "1.234", 1234},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " \"" + c.text + "\"");
    NumberFormatter formatter;
    formatter.setLocale(Locale(c.locale));
    EXPECT_EQ(formatter.numberFromString(c.text), c.expected);
  }
}

TEST(NumberFormatterTest, WithoutALocaleItReadsInTheDeviceLocale) {
  NumberFormatter formatter;
  EXPECT_EQ(formatter.locale(), Locale::current());
  EXPECT_EQ(formatter.numberFromString("42"), 42.0);
}

}  // namespace
}  // namespace ns
