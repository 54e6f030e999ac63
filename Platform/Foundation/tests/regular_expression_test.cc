#include <gtest/gtest.h>

#include "Platform/Foundation/RegularExpression.h"

namespace ns {
namespace {

using RE = RegularExpression;

TEST(RegularExpressionTest, FirstMatchesInUtf16Ranges) {
  struct Case {
    std::string pattern;
    unsigned options;
    std::string text;
    Range found;
  } cases[] = {
      {"\\d{4}-\\d{2}-\\d{2} \\d{2}-\\d{2}-\\d{2}", RE::kCaseInsensitive, "Notes 2024-03-05 10-20-30.plist", {6, 19}},
      {"^[+-]?(([0-9]+\\.?)|([0-9]*\\.[0-9]+))$", RE::kCaseInsensitive, "-12.5", {0, 5}},
      {"^[+-]?(([0-9]+\\.?)|([0-9]*\\.[0-9]+))$", RE::kCaseInsensitive, "1.2.3", {kNotFound, 0}},
      {"^_ltv_[A-Z]{3}$", 0, "_ltv_USD", {0, 8}},
      {"^_ltv_[A-Z]{3}$", 0, "_ltv_usd", {kNotFound, 0}},
      {"^_ltv_[A-Z]{3}$", RE::kCaseInsensitive, "_ltv_usd", {0, 8}},
      {"b+", 0, "\xF0\x9F\x98\x80" "abbbc", {3, 3}},  // the emoji counts two units
      {"a.b", 0, "a\nb", {kNotFound, 0}},
      {"a.b", RE::kDotMatchesLineSeparators, "a\nb", {0, 3}},
      {"^b", 0, "a\nb", {kNotFound, 0}},
      {"^b", RE::kAnchorsMatchLines, "a\nb", {2, 1}},
      {"a.c", RE::kIgnoreMetacharacters, "abc a.c", {4, 3}},
  };
  for (const auto& c : cases) {
    Error error;
    auto re = RE::make(c.pattern, c.options, &error);
    ASSERT_TRUE(re) << c.pattern << ": " << error.description();
    EXPECT_EQ(re->rangeOfFirstMatch(c.text), c.found) << c.pattern << " in " << c.text;
  }
}

TEST(RegularExpressionTest, GroupsRangesAndAllMatches) {
  auto re = RE::make("(\\w+)@(x)?(\\w+)");
  ASSERT_TRUE(re);
  EXPECT_EQ(re->numberOfCaptureGroups(), 3u);
  auto m = re->firstMatch("mail: ann@host, bob@xy");
  ASSERT_TRUE(m);
  ASSERT_EQ(m->ranges.size(), 4u);
  EXPECT_EQ(m->ranges[1], (Range{6, 3}));
  EXPECT_EQ(m->ranges[2], (Range{kNotFound, 0}));  // took no part
  EXPECT_EQ(m->ranges[3], (Range{10, 4}));
  EXPECT_EQ(re->numberOfMatches("mail: ann@host, bob@xy"), 2u);
  // Searching only part of the text.
  EXPECT_EQ(re->rangeOfFirstMatch("mail: ann@host, bob@xy", Range{10, 12}), (Range{16, 6}));
  EXPECT_EQ(re->numberOfMatches("a@b", Range{9, 9}), 0u);  // clamped, no crash
  // Empty matches advance instead of looping.
  EXPECT_EQ(RE::make("x*")->numberOfMatches("abc"), 4u);
}

TEST(RegularExpressionTest, InvalidPatternsReportThePlatformError) {
  for (const char* bad : {"(", "[a-", "a{2,1}", "*"}) {
    Error error;
    EXPECT_FALSE(RE::make(bad, 0, &error)) << bad;
    EXPECT_EQ(error.domain(), kCocoaErrorDomain);
    EXPECT_EQ(error.code(), 2048);
    ASSERT_NE(error.userInfo().find("NSInvalidValue"), nullptr);
    EXPECT_EQ(*error.userInfo().find("NSInvalidValue")->asString(), bad);
  }
  EXPECT_FALSE(RE::make("("));  // no error out-parameter is fine
}

TEST(RegularExpressionTest, ReplacingAndEscaping) {
  auto re = RE::make("(\\d+)-(\\d+)");
  EXPECT_EQ(re->stringByReplacingMatches("1-2 and 30-40", "$2:$1"), "2:1 and 40:30");
  EXPECT_EQ(re->stringByReplacingMatches("none", "$1"), "none");
  std::string literal = "a.b*c(d)[e]$^|\\/?+{}";
  auto exact = RE::make(RE::escapedPattern(literal));
  ASSERT_TRUE(exact);
  EXPECT_EQ(exact->rangeOfFirstMatch("xx" + literal), (Range{2, literal.size()}));
  EXPECT_EQ(exact->rangeOfFirstMatch("aXb*c(d)[e]$^|\\/?+{}"), (Range{kNotFound, 0}));
}

TEST(RegularExpressionTest, ASearchStoppedByTheMatchLimitIsAnError) {
  RE::MatchLimit limit{1000, 1 << 20};
  auto backtracking = RE::make(std::u16string_view(u"(a+)+$"));
  ASSERT_NE(backtracking, nullptr);
  std::u16string text(100, u'a');
  text += u'!';
  Error stopped;
  EXPECT_EQ(backtracking->firstMatch(std::u16string_view(text), limit, stopped), std::nullopt);
  EXPECT_EQ(stopped.domain(), kCocoaErrorDomain);
  EXPECT_EQ(stopped.code(), 2048);
  EXPECT_EQ(stopped.userInfo().find("NSInvalidValue")->stringValue(), "(a+)+$");

  // Within the limit: a match, or no match without an error.
  Error none;
  auto found = backtracking->firstMatch(std::u16string_view(u"xaa"), limit, none);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->range(), (Range{1, 2}));
  EXPECT_EQ(backtracking->firstMatch(std::u16string_view(u"xyz"), limit, none), std::nullopt);
  EXPECT_TRUE(none.domain().empty());
}

}  // namespace
}  // namespace ns
