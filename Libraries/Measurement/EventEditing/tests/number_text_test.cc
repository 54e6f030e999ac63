// Numbers as text both ways, and the integer conversions. The texts of
// numbers are those of a script engine's String(x): Debian's duktape runs
// beside the evaluator here and is asked for every one of them.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPNumberText.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"
#include "Libraries/Measurement/EventEditing/tests/ScriptEngine.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Doubles of every kind: random bit patterns (every exponent, subnormals,
// NaNs), short decimals, integers, and the edges of the plain notation.
std::vector<double> sampleDoubles(size_t count) {
  std::mt19937_64 random(20240611);
  std::vector<double> values = {0.0,
                                -0.0,
                                kInfinity,
                                -kInfinity,
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::denorm_min(),
                                -std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::min(),
                                std::numeric_limits<double>::max(),
                                -std::numeric_limits<double>::max(),
                                1e21,
                                1e-6,
                                1e-7,
                                1e20,
                                0.1,
                                123456789,
                                -2.5,
                                1234567.5,
                                1.5e-7,
                                9007199254740993.0};
  for (double edge : {1e21, 1e-6}) {
    for (double v = edge, i = 0; i < 4; ++i) values.push_back(v = std::nextafter(v, 0.0));
    for (double v = edge, i = 0; i < 4; ++i) values.push_back(v = std::nextafter(v, kInfinity));
  }
  while (values.size() < count) {
    switch (values.size() % 4) {
      case 0:
      case 1:
        values.push_back(std::bit_cast<double>(random()));
        break;
      case 2: {
        std::uniform_int_distribution<int> digits(1, 17), exponent(-30, 30);
        double mantissa = double(random() % 100000000000000000ULL) / std::pow(10.0, digits(random));
        values.push_back(mantissa * std::pow(10.0, exponent(random)) * (random() % 2 ? 1 : -1));
        break;
      }
      default:
        values.push_back(double(int64_t(random() >> (random() % 64))) * (random() % 2 ? 1 : -1));
        break;
    }
  }
  return values;
}

TEST(MSRPNumberTextTest, NumbersReadAsAScriptEnginesStringOfThem) {
  msrptest::ScriptEngine engine;
  size_t compared = 0;
  for (double value : sampleDoubles(100000)) {
    std::string ours = ns::toUtf8(MSRPStringFromNumber(value));
    ASSERT_EQ(ours, engine.text(value)) << std::hexfloat << value;
    ++compared;
  }
  EXPECT_EQ(compared, 100000u);
}

TEST(MSRPNumberTextTest, TheEdgesOfPlainNotation) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {1e21, "1e+21"}, {1e-7, "1e-7"}, {0.000001, "0.000001"}, {1e20, "100000000000000000000"},
      {-0.0, "0"},     {1.5e-7, "1.5e-7"}, {1234567.5, "1234567.5"}, {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
  };
  for (const auto& c : cases) EXPECT_EQ(ns::toUtf8(MSRPStringFromNumber(c.value)), c.text) << c.text;
}

TEST(MSRPNumberTextTest, TextReadsAsOneDecimalNumberOrNaN) {
  struct Case {
    std::u16string text;
    double number;  // NaN: not a number
  } cases[] = {
      {u" 42 ", 42},
      {u"\n\t-1.5e3\r\n", -1500},
      {u"\u00a0\u20287\u3000", 7},  // the platform's white space and line breaks
      {u"", 0},
      {u"   ", 0},
      {u"+.5", 0.5},
      {u"7.", 7},
      {u"-0", -0.0},
      {u"1E2", 100},
      {u"NaN", NAN},
      {u"Infinity", kInfinity},
      {u"-Infinity", -kInfinity},
      {u" Infinity ", kInfinity},
      {u"+Infinity", NAN},
      {u"infinity", NAN},
      {u"inf", NAN},
      {u"nan", NAN},
      {u"0x10", NAN},
      {u"12abc", NAN},
      {u"1e", NAN},
      {u"1e+", NAN},
      {u".", NAN},
      {u"-", NAN},
      {u"+-1", NAN},
      {u"1 2", NAN},
      {u"\u0661", NAN},  // a digit, but not a decimal one of this grammar
      {u"1e400", kInfinity},
      {u"-1e400", -kInfinity},
      {u"1e-400", 0},
      {u"0.000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       u"00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       u"00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       u"000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001e10",
       0},
      {u"123456789012345678901234567890", 1.2345678901234568e29},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ns::toUtf8(c.text));
    double number = MSRPNumberFromString(c.text);
    if (std::isnan(c.number)) {
      EXPECT_TRUE(std::isnan(number)) << number;
    } else {
      EXPECT_EQ(number, c.number);
      EXPECT_EQ(std::signbit(number), std::signbit(c.number));
    }
  }
}

TEST(MSRPValueRoutinesTest, ToInt32AgreesWithAScriptEngine) {
  struct Case {
    double value;
    int32_t result;
  } cases[] = {
      {-1, -1}, {4294967297.0, 1}, {NAN, 0}, {kInfinity, 0}, {-kInfinity, 0}, {7.9, 7}, {-7.9, -7},
      {2147483648.0, -2147483647 - 1}, {4294967295.0, -1}, {-2147483649.0, 2147483647}, {1e300, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(MSRPToInt32(c.value), c.result) << c.value;
  msrptest::ScriptEngine engine;
  for (double value : sampleDoubles(20000)) ASSERT_EQ(MSRPToInt32(value), engine.toInt32(value)) << std::hexfloat << value;
}

TEST(MSRPValueRoutinesTest, ToIntegerTruncatesTowardZero) {
  struct Case {
    double value;
    double result;
  } cases[] = {{NAN, 0}, {kInfinity, kInfinity}, {-kInfinity, -kInfinity}, {-0.0, -0.0}, {2.9, 2}, {-2.9, -2},
               {1e300, 1e300}};
  for (const auto& c : cases) {
    EXPECT_EQ(MSRPToInteger(c.value), c.result) << c.value;
    EXPECT_EQ(std::signbit(MSRPToInteger(c.value)), std::signbit(c.result)) << c.value;
  }
}

}  // namespace
