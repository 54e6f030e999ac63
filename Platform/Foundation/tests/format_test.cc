#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdint>
#include <memory>
#include <optional>

#include "Platform/Foundation/Format.h"

namespace ns {
namespace {

struct Note {
  std::string title;
  std::string description() const { return "<Note " + title + ">"; }
};

enum class Level { Info = 1, Error = 3 };

TEST(FormatTest, IntegerConversions) {
  struct Case {
    std::string got, want;
  } cases[] = {
      {ns::format("%d", 42), "42"},
      {ns::format("%i|%d", -7, INT_MIN), "-7|-2147483648"},
      {ns::format("%ld %lld %zd", 1L, -2LL, static_cast<ptrdiff_t>(3)), "1 -2 3"},
      {ns::format("%lu %llu %zu", 4UL, 18446744073709551615ULL, size_t{5}), "4 18446744073709551615 5"},
      {ns::format("%d", int64_t{1} << 40), "1099511627776"},  // never cut to 32 bits
      {ns::format("%u", -1), "4294967295"},                  // the argument's own width
      {ns::format("%lu", int64_t{-1}), "18446744073709551615"},
      {ns::format("%x %X %o", 255, 255, 8), "ff FF 10"},
      {ns::format("%x", -1), "ffffffff"},
      {ns::format("%llx", int64_t{-1}), "ffffffffffffffff"},
      {ns::format("%hhd %hd", 300, 70000), "44 4464"},
      {ns::format("%#x %#o", 255, 8), "0xff 010"},
      {ns::format("%5d|%-5d|%05d|%+d|% d", 42, 42, 42, 42, 42), "   42|42   |00042|+42| 42"},
      {ns::format("%.3d", 7), "007"},
      {ns::format("%d", true), "1"},
      {ns::format("%d %d", Level::Error, 'A'), "3 65"},
      {ns::format("%*d|%-*d", 4, 1, 3, 2), "   1|2  "},
      {ns::format("%*d", -4, 1), "1   "},  // a negative star width left-justifies
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(FormatTest, RealConversions) {
  struct Case {
    std::string got, want;
  } cases[] = {
      {ns::format("%f", 1.5), "1.500000"},
      {ns::format("%.2f", 3.14159), "3.14"},
      {ns::format("%.0f", 2.5f), "2"},
      {ns::format("%8.3f|%-8.1f|", 3.14159, 2.0), "   3.142|2.0     |"},
      {ns::format("%g %g", 0.0001, 1e20), "0.0001 1e+20"},
      {ns::format("%e", 12345.678), "1.234568e+04"},
      {ns::format("%.1f%%", 99.44), "99.4%"},
      {ns::format("%f", 3), "3.000000"},  // an integer for a real converts
      {ns::format("%lf", 0.25), "0.250000"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

// Plain "%d" and "%.Nf" are written without the C library; their text is
// still the C library's, ties and extremes included.
TEST(FormatTest, PlainNumbersReadAsTheCLibraryWritesThem) {
  char expected[512];
  for (long long v : {0LL, 7LL, -7LL, 1234567890123LL, LLONG_MAX, LLONG_MIN}) {
    std::snprintf(expected, sizeof expected, "%lld", v);
    EXPECT_EQ(format("%d", static_cast<int64_t>(v)), expected);
  }
  const double reals[] = {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.375, 1.0005, 2.675, 1.25, 1e-7, -123.456789,
                          9007199254740993.0, 1e22, 1.7976931348623157e308, 4.9e-324, 0.1 + 0.2};
  for (double v : reals) {
    for (int precision : {0, 1, 2, 3, 6, 17}) {
      std::snprintf(expected, sizeof expected, "%.*f", precision, v);
      EXPECT_EQ(format("%.*f", precision, v), expected) << v << " at " << precision;
    }
    std::snprintf(expected, sizeof expected, "%f", v);
    EXPECT_EQ(format("%f", v), expected) << v;
  }
}

TEST(FormatTest, ObjectsAndText) {
  Note note{"Groceries"};
  auto shared = std::make_shared<Note>(Note{"Shared"});
  std::shared_ptr<Note> none;
  Error error = Error::withDescription("NTDataErrorDomain", 5, "Disk full");
  std::optional<std::string> absent;
  std::optional<std::string> present = "here";
  const char* nullText = nullptr;
  struct Case {
    std::string got, want;
  } cases[] = {
      {ns::format("%@", std::string("text")), "text"},
      {ns::format("%@ and %s", "literal", std::string_view("view")), "literal and view"},
      {ns::format("%@", note), "<Note Groceries>"},
      {ns::format("%@|%@", shared, none), "<Note Shared>|(null)"},
      {ns::format("%@", &note), "<Note Groceries>"},
      {ns::format("%@", &present.value()), "here"},  // a pointer to text prints the text
      {ns::format("%@", std::make_unique<Note>(Note{"Owned"})), "<Note Owned>"},
      {ns::format("%@", nullptr), "(null)"},
      {ns::format("%s", nullText), "(null)"},
      {ns::format("%@/%@", absent, present), "(null)/here"},
      {ns::format("%@", Value(12)), "12"},
      {ns::format("%@", Value("str")), "str"},
      {ns::format("%d", Value(7)), "7"},
      {ns::format("%.1f", Value(2.25)), "2.2"},
      {ns::format("%@", error), error.description()},
      {ns::format("%@", 42), "42"},        // a number given for an object
      {ns::format("%@", 0.5), "0.5"},
      {ns::format("%S", std::u16string(u"caf\u00e9")), "caf\xC3\xA9"},
      {ns::format("[%8@]", "ab"), "[      ab]"},
      {ns::format("[%-4@]", "ab"), "[ab  ]"},
      {ns::format("[%.3s]", "abcdef"), "[abc]"},
      {ns::format("[%4s]", "\xC3\xA9"), "[   \xC3\xA9]"},                 // widths count characters, not bytes
      {ns::format("[%.2@]", "a\xF0\x9F\x98\x80z"), "[a]"},               // never half a pair
      {ns::format("%c%c%C", 'o', 'k', 0x00e9), "ok\xC3\xA9"},
      {ns::format("%%|100%%"), "%|100%"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(FormatTest, PositionalArguments) {
  EXPECT_EQ(ns::format("%2$@ %1$@", "world", "hello"), "hello world");
  EXPECT_EQ(ns::format("%1$@-%1$@", "x"), "x-x");
  EXPECT_EQ(ns::format("%2$d items in %1$@", "Inbox", 3), "3 items in Inbox");
  EXPECT_EQ(ns::format("%1$.2f|%2$5d", 1.0, 7), "1.00|    7");
  EXPECT_EQ(ns::format("%@-%@", "ZUL_AppDelegate", "UUID"), "ZUL_AppDelegate-UUID");
}

TEST(FormatTest, WrongOrMissingArgumentsNeverCrash) {
  struct Case {
    std::string got, want;
  } cases[] = {
      {ns::format("%d", "text"), "0"},
      {ns::format("%s", 5), "5"},
      {ns::format("%d %@"), "0 (null)"},
      {ns::format("%@ %@", "one"), "one (null)"},
      {ns::format("%f", "x"), "0.000000"},
      {ns::format("%5$@", "a"), "(null)"},
      {ns::format("%n|%d", 1, 2), "|2"},          // never writes through an argument
      {ns::format("50%"), "50%"},
      {ns::format("%l"), "%l"},
      {ns::format("%k|%d", 9), "%k|9"},           // unknown conversions stay, take nothing
      {ns::format("%99999999d", 1).size() <= 100001 ? "ok" : "huge", "ok"},
      {ns::format("%p", static_cast<const int*>(nullptr)), "0x0"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
  int x = 0;
  EXPECT_EQ(ns::format("%p", &x).substr(0, 2), "0x");
}

}  // namespace
}  // namespace ns
