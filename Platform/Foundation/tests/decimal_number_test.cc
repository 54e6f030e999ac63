// Decimal numbers read, print, compare and multiply as Python's decimal
// module does with 38 digits rounded half-up; that module is the second
// reader of thousands of random texts.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "Platform/Foundation/DecimalNumber.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace {

using ns::DecimalNumber;

TEST(DecimalNumberTest, ReadsAndPrintsPlainDecimals) {
  struct Case {
    const char* text;
    const char* printed;
  } cases[] = {
      {"1.50", "1.5"},
      {"+.5", "0.5"},
      {"-3.", "-3"},
      {"007", "7"},
      {"-0.000", "0"},
      {"  12", "12"},
      {"1e3", "1000"},
      {"1.25E-2", "0.0125"},
      {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678"},
      // The 39th digit rounds half away from zero.
      {"123456789012345678901234567890123456785", "123456789012345678901234567890123456790"},
      {"-99999999999999999999999999999999999999.5", "-100000000000000000000000000000000000000"},
      {"0.000000000000000000000000000000000000000001", "0.000000000000000000000000000000000000000001"},
      // Not numbers.
      {"", "NaN"},
      {"+", "NaN"},
      {".", "NaN"},
      {"0x10", "NaN"},
      {"1,000", "NaN"},
      {"12abc", "NaN"},
      {"1e", "NaN"},
      {"1.2.3", "NaN"},
      {"1e200", "NaN"},
      {"1e-200", "NaN"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecimalNumber::fromString(c.text).stringValue(), c.printed) << c.text;
}

TEST(DecimalNumberTest, ConvertsToIntegersAndDoubles) {
  struct Case {
    const char* text;
    int64_t integer;
    double real;
  } cases[] = {
      {"2.99", 2, 2.99},
      {"-2.99", -2, -2.99},
      {"0.1", 0, 0.1},
      {"9223372036854775807", INT64_MAX, 9223372036854775807.0},
      {"9223372036854775808", INT64_MAX, 9223372036854775808.0},
      {"-9223372036854775808", INT64_MIN, -9223372036854775808.0},
      {"-1e30", INT64_MIN, -1e30},
  };
  for (const auto& c : cases) {
    DecimalNumber n = DecimalNumber::fromString(c.text);
    EXPECT_EQ(n.int64Value(), c.integer) << c.text;
    EXPECT_EQ(n.doubleValue(), c.real) << c.text;
  }
  EXPECT_EQ(DecimalNumber(INT64_MIN).stringValue(), "-9223372036854775808");
  EXPECT_EQ(DecimalNumber::notANumber().int64Value(), 0);
  EXPECT_TRUE(std::isnan(DecimalNumber::notANumber().doubleValue()));
}

TEST(DecimalNumberTest, OrdersNumbersAndKeepsNotANumberApart) {
  EXPECT_EQ(DecimalNumber::fromString("1.50"), DecimalNumber::fromString("1.5"));
  EXPECT_EQ(DecimalNumber::fromString("-0"), DecimalNumber::fromString("0"));
  EXPECT_LT(DecimalNumber::fromString("-10"), DecimalNumber::fromString("-9.99"));
  EXPECT_LT(DecimalNumber::fromString("0.099"), DecimalNumber::fromString("0.1"));
  EXPECT_GT(DecimalNumber::fromString("1000"), DecimalNumber::fromString("999.999"));
  EXPECT_LT(DecimalNumber::notANumber(), DecimalNumber::fromString("-1e100"));
  EXPECT_EQ(DecimalNumber::notANumber(), DecimalNumber::notANumber());
  EXPECT_TRUE(DecimalNumber::fromString("2").multiply(DecimalNumber::notANumber()).isNaN());
  EXPECT_TRUE(DecimalNumber::fromString("1e100").multiply(DecimalNumber::fromString("1e100")).isNaN());
}

// A random decimal text: a sign or none, up to 45 digits (leading zeros
// now and then), a point anywhere or nowhere.
std::string randomText(std::mt19937_64& random) {
  std::string text;
  switch (random() % 3) {
    case 0: text += '-'; break;
    case 1: text += '+'; break;
    default: break;
  }
  const size_t count = 1 + random() % 45;
  std::string digits;
  for (size_t i = 0; i < count; ++i) digits += static_cast<char>('0' + random() % 10);
  if (random() % 4 == 0) digits.insert(0, std::string(random() % 4, '0'));
  if (random() % 4 != 0) digits.insert(random() % (digits.size() + 1), ".");
  return text + digits;
}

TEST(DecimalNumberTest, AgreesWithPythonsDecimalOnRandomTexts) {
  std::mt19937_64 random(20261211);
  std::vector<std::string> texts;
  for (int i = 0; i < 10000; ++i) texts.push_back(randomText(random));
  ns::testing::TempDir dir;
  {
    std::ofstream out(dir.file("texts"));
    for (const auto& t : texts) out << t << "\n";
  }
  // For each text: the value printed plainly, its comparison with the next
  // text and the product of the two.
  const char* script = R"(
import sys
from decimal import Context, ROUND_HALF_UP
ctx = Context(prec=38, rounding=ROUND_HALF_UP)
def plain(d):
    return "0" if d == 0 else format(d.normalize(ctx), "f")
texts = open(sys.argv[1]).read().split()
values = [ctx.create_decimal(t) for t in texts]
for i, a in enumerate(values):
    b = values[(i + 1) % len(values)]
    print(plain(a), (a > b) - (a < b), plain(ctx.multiply(a, b)))
)";
  {
    std::ofstream(dir.file("check.py")) << script;
  }
  int status = 0;
  std::string expected =
      ns::testing::runCommand("python3 '" + dir.file("check.py") + "' '" + dir.file("texts") + "'", &status);
  ASSERT_EQ(status, 0) << expected;
  std::istringstream lines(expected);
  int mismatches = 0;
  for (size_t i = 0; i < texts.size(); ++i) {
    std::string printed, product;
    int order = 0;
    ASSERT_TRUE(lines >> printed >> order >> product) << "line " << i;
    DecimalNumber a = DecimalNumber::fromString(texts[i]);
    DecimalNumber b = DecimalNumber::fromString(texts[(i + 1) % texts.size()]);
    auto ours = a.compare(b);
    int ourOrder = ours < 0 ? -1 : ours > 0 ? 1 : 0;
    if (a.stringValue() != printed || ourOrder != order || a.multiply(b).stringValue() != product) {
      if (++mismatches <= 5) {
        ADD_FAILURE() << texts[i] << " x " << texts[(i + 1) % texts.size()] << ": printed " << a.stringValue()
                      << " (python " << printed << "), order " << ourOrder << " (" << order << "), product "
                      << a.multiply(b).stringValue() << " (" << product << ")";
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
