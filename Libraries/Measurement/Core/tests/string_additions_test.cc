// Query strings both ways and lengths in Unicode scalar values.
#include <gtest/gtest.h>

#include <cstring>

#include "Libraries/Measurement/Core/MSRNSStringAdditions.h"

namespace {

TEST(MSRNSStringAdditionsTest, QueryStringsKeepOrderAndTheQuerySet) {
  EXPECT_EQ(msr_queryString({}), "");
  ns::Dictionary arguments{{"app_instance_id", ns::Value("a b")},
                           {"platform", ns::Value("ios")},
                           {"gmp_version", ns::Value(int64_t{120})},
                           {"k&=", ns::Value("caf\xc3\xa9")}};
  EXPECT_EQ(msr_queryString(arguments), "app_instance_id=a%20b&platform=ios&gmp_version=120&k&==caf%C3%A9");
}

TEST(MSRNSStringAdditionsTest, ArgumentsStringsUnescapeAndKeepTheFirstOfARepeatedKey) {
  struct Case {
    const char* text;
    ns::Dictionary expected;
  } cases[] = {
      {"", {}},
      {"a=1&b=2&a=3", {{"a", ns::Value("1")}, {"b", ns::Value("2")}}},
      {"flag&&x=", {{"flag", ns::Value("")}, {"x", ns::Value("")}}},
      {"q=one+two%20three", {{"q", ns::Value("one two three")}}},
      {"bad=%zz&%f=v", {{"bad", ns::Value("")}, {"", ns::Value("v")}}},
      {"k=a=b", {{"k", ns::Value("a=b")}}},
  };
  for (const auto& c : cases) EXPECT_EQ(msr_dictionaryWithHttpArgumentsString(c.text), c.expected) << c.text;
  EXPECT_EQ(msr_stringByUnescapingFromURLArgument("a+b%20c"), "a b c");
  EXPECT_EQ(msr_stringByUnescapingFromURLArgument("%4"), std::nullopt);
}

TEST(MSRNSStringAdditionsTest, LengthsCountScalarValues) {
  EXPECT_EQ(msr_UTF32Length(""), 0u);
  EXPECT_EQ(msr_UTF32Length("a\xc3\xa9\xf0\x9f\x98\x80"), 3u);  // a, é, 😀
  EXPECT_EQ(msr_UTF32Length("a\xff"), 2u);  // an invalid byte reads as one character
  uint8_t bytes[8] = {};
  msr_getUTF32Bytes("\xf0\x9f\x98\x80z", bytes, 6);
  const uint8_t expected[8] = {0x00, 0xF6, 0x01, 0x00, 'z', 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes, expected, 8), 0);
}

}  // namespace
