// Links and phone numbers found in plain text, with UTF-16 ranges.
#include <gtest/gtest.h>

#include "Platform/Foundation/DataDetector.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

using ns::DataDetector;

constexpr uint64_t kBoth = ns::kTextCheckingTypeLink | ns::kTextCheckingTypePhoneNumber;

// What each match covers, as text.
std::vector<std::string> found(const std::string& text, uint64_t types = kBoth) {
  std::u16string units = ns::toUtf16(text);
  std::vector<std::string> out;
  for (const auto& m : DataDetector(types).matches(text))
    out.push_back(ns::toUtf8(std::u16string_view(units).substr(m.range.location, m.range.length)));
  return out;
}

using Strings = std::vector<std::string>;

TEST(DataDetectorTest, FindsLinksOfEveryShape) {
  EXPECT_EQ(found("see https://example.org/a?b=1."), Strings{"https://example.org/a?b=1"});
  EXPECT_EQ(found("go to www.example.net, then"), Strings{"www.example.net"});
  EXPECT_EQ(found("example.com/path is fine"), Strings{"example.com/path"});
  EXPECT_EQ(found("write to ann@example.org"), Strings{"ann@example.org"});
  EXPECT_EQ(found("(http://a.example/x)"), Strings{"http://a.example/x"});
}

TEST(DataDetectorTest, FindsPhoneNumbersOfSevenDigitsOrMore) {
  EXPECT_EQ(found("call +41 44 123 45 67 today"), Strings{"+41 44 123 45 67"});
  EXPECT_EQ(found("call (555) 123-4567"), Strings{"(555) 123-4567"});
  EXPECT_EQ(found("5551234"), Strings{"5551234"});
  // Too short, or part of a word or a decimal number.
  EXPECT_EQ(found("room 12345, version 1.2.3, abc1234567"), Strings{});
}

TEST(DataDetectorTest, PlainTextHasNoMatchAndTypesChooseWhatIsFound) {
  EXPECT_EQ(found("Shopping: milk, eggs. Done at 5 pm.\nEnd"), Strings{});
  EXPECT_EQ(found("", kBoth), Strings{});
  EXPECT_EQ(found("www.example.com 5551234", ns::kTextCheckingTypeLink), Strings{"www.example.com"});
  EXPECT_EQ(found("www.example.com 5551234", ns::kTextCheckingTypePhoneNumber), Strings{"5551234"});
  // The digits of a link are the link's.
  EXPECT_EQ(found("https://example.com/5551234567"), Strings{"https://example.com/5551234567"});
}

TEST(DataDetectorTest, RangesAreUtf16) {
  auto matches = DataDetector(kBoth).matches(std::string("\xF0\x9F\x98\x80 www.example.com"));  // an emoji first
  ASSERT_EQ(matches.size(), 1u);
  EXPECT_EQ(matches[0].range.location, 3u);
  EXPECT_EQ(matches[0].range.length, 15u);
}

}  // namespace
