#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <atomic>
#include <thread>
#include <vector>

#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

constexpr auto kAsc = ComparisonResult::Ascending;
constexpr auto kSame = ComparisonResult::Same;
constexpr auto kDesc = ComparisonResult::Descending;

const char* kEAcute = "\xC3\xA9";           // é precomposed
const char* kEDecomposed = "e\xCC\x81";     // e + combining acute

TEST(CompareTest, OptionsTable) {
  struct Case {
    std::string a, b;
    unsigned options;
    ComparisonResult result;
  } cases[] = {
      {"abc", "abc", 0, kSame},
      {"abc", "abd", 0, kAsc},
      {"abc", "ab", 0, kDesc},
      {"ABC", "abc", 0, kAsc},
      {"ABC", "abc", kCaseInsensitive, kSame},
      {"Stra\xC3\x9F" "e", "STRASSE", kCaseInsensitive, kSame},
      {kEAcute, kEDecomposed, 0, kSame},  // canonical equivalence
      {kEAcute, kEDecomposed, kLiteral, kDesc},
      {kEAcute, "e", 0, kDesc},
      {kEAcute, "e", kDiacriticInsensitive, kSame},
      {"\xC3\x89", "e", kDiacriticInsensitive, kAsc},  // É vs e: case still counts
      {"\xC3\x89", "e", kDiacriticInsensitive | kCaseInsensitive, kSame},
      {"Cr\xC3\xA8me Br\xC3\xBBl\xC3\xA9" "e", "creme brulee", kDiacriticInsensitive | kCaseInsensitive, kSame},
      {"file2", "file10", 0, kDesc},
      {"file2", "file10", kNumeric, kAsc},
      {"file007", "file7", kNumeric, kSame},
      {"a10b2", "a10b10", kNumeric, kAsc},
      {"", "", 0, kSame},
      {"", "a", 0, kAsc},
      // UTF-16 order, not UTF-8 order: U+FF21 lies above the lead surrogate of U+1F600.
      {"\xEF\xBC\xA1", "\xF0\x9F\x98\x80", 0, kDesc},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(compare(c.a, c.b, c.options), c.result) << c.a << " vs " << c.b << " options " << c.options;
  }
}

TEST(CompareTest, CaseInsensitiveMatchesTypedAnswers) {
  EXPECT_EQ(caseInsensitiveCompare("Fluffy", "fLUFFY"), kSame);
  EXPECT_NE(caseInsensitiveCompare("Fluffy", "Fluffy2"), kSame);
}

TEST(CollationTest, LocalizedCompareFollowsTheLocale) {
  struct Case {
    std::string a, b, locale;
    unsigned options;
    ComparisonResult result;
  } cases[] = {
      {"apple", "Banana", "en_US", kCaseInsensitive, kAsc},   // unlike code-unit order
      {"apple", "APPLE", "en_US", kCaseInsensitive, kSame},
      {"\xC3\xA9t\xC3\xA9", "ete", "en_US", kCaseInsensitive, kDesc},
      {"\xC3\xA9t\xC3\xA9", "ETE", "en_US", kCaseInsensitive | kDiacriticInsensitive, kSame},
      {"\xC3\xA9t\xC3\xA9", "ete", "en_US", kDiacriticInsensitive, kSame},
      {"Ete", "ete", "en_US", kDiacriticInsensitive, kDesc},
      {"z", "\xC3\xB6", "de_DE", 0, kDesc},  // German: ö sorts with o
      {"z", "\xC3\xB6", "sv_SE", 0, kAsc},   // Swedish: ö after z
      {"Note 9", "Note 10", "en_US", kNumeric, kAsc},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(compare(c.a, c.b, c.options, c.locale), c.result) << c.a << " vs " << c.b << " in " << c.locale;
  }
}

TEST(CollationTest, SortsTitlesLikeThePlatform) {
  std::vector<std::string> titles = {"banana", "Apple", "cherry", "apple pie", "\xC3\x89" "clair", "Zebra"};
  std::sort(titles.begin(), titles.end(),
            [](const std::string& a, const std::string& b) { return localizedCaseInsensitiveCompare(a, b) == kAsc; });
  EXPECT_EQ(titles, (std::vector<std::string>{"Apple", "apple pie", "banana", "cherry", "\xC3\x89" "clair", "Zebra"}));

  std::vector<std::string> files = {"File 10", "file 2", "File 2", "file 1"};
  std::sort(files.begin(), files.end(),
            [](const std::string& a, const std::string& b) { return localizedStandardCompare(a, b) == kAsc; });
  EXPECT_EQ(files, (std::vector<std::string>{"file 1", "file 2", "File 2", "File 10"}));
}

TEST(SearchTest, RangesUnderOptions) {
  struct Case {
    std::string text, target;
    unsigned options;
    Range found;
  } cases[] = {
      {"Hello World", "World", 0, {6, 5}},
      {"Hello World", "world", 0, {kNotFound, 0}},
      {"Hello World", "world", kCaseInsensitive, {6, 5}},
      {"Hello World", "", 0, {kNotFound, 0}},
      {"", "a", 0, {kNotFound, 0}},
      {"abcabc", "bc", 0, {1, 2}},
      {"abcabc", "bc", kBackwards, {4, 2}},
      {"abcabc", "bc", kAnchored, {kNotFound, 0}},
      {"abcabc", "ab", kAnchored, {0, 2}},
      {"abcabc", "bc", kAnchored | kBackwards, {4, 2}},
      {"abcabc", "ab", kAnchored | kBackwards, {kNotFound, 0}},
      {"\xF0\x9F\x98\x80" "caf\xC3\xA9!", "cafe", kDiacriticInsensitive, {2, 4}},
      {"\xF0\x9F\x98\x80" "cafe\xCC\x81!", "cafe", kDiacriticInsensitive, {2, 5}},  // takes the mark along
      {"cafe\xCC\x81!", "cafe", 0, {kNotFound, 0}},  // would split é from its accent
      {"caf\xC3\xA9", "cafe\xCC\x81", 0, {0, 4}},    // equivalent forms match
      {"caf\xC3\xA9", "cafe\xCC\x81", kLiteral, {kNotFound, 0}},
      {"Stra\xC3\x9F" "e", "SS", kCaseInsensitive, {4, 1}},  // ß matches ss as a whole
      {"Stra\xC3\x9F" "e", "s", kCaseInsensitive, {0, 1}},
      {"\xC3\x9F", "s", kCaseInsensitive, {kNotFound, 0}},  // never half of ß
      {"Na\xC3\xAFve R\xC3\x89SUM\xC3\x89", "resume", kCaseInsensitive | kDiacriticInsensitive, {6, 6}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rangeOfString(c.text, c.target, c.options), c.found)
        << c.text << " / " << c.target << " options " << c.options;
  }
}

TEST(SearchTest, WithinARange) {
  EXPECT_EQ(rangeOfString("abcabc", "a", 0, Range{1, 5}), (Range{3, 1}));
  EXPECT_EQ(rangeOfString("abcabc", "a", 0, Range{1, 2}), (Range{kNotFound, 0}));
  EXPECT_EQ(rangeOfString("abcabc", "c", kBackwards, Range{0, 4}), (Range{2, 1}));
  EXPECT_EQ(rangeOfString("abc", "c", 0, Range{2, 99}), (Range{2, 1}));  // clamped
  EXPECT_EQ(rangeOfString("abc", "c", 0, Range{9, 1}), (Range{kNotFound, 0}));
}

TEST(SearchTest, ContainsAndReplace) {
  EXPECT_TRUE(localizedStandardContainsString("Cr\xC3\xA8me Br\xC3\xBBl\xC3\xA9" "e", "BRULEE"));
  EXPECT_FALSE(localizedCaseInsensitiveContainsString("Cr\xC3\xA8me", "creme"));
  EXPECT_TRUE(localizedCaseInsensitiveContainsString("Cr\xC3\xA8me", "CR\xC3\x88ME"));
  EXPECT_FALSE(containsString("abc", ""));
  EXPECT_EQ(replacingOccurrences("A-b-a", "a", "x", kCaseInsensitive), "x-b-x");
  EXPECT_EQ(replacingOccurrences("r\xC3\xA9sum\xC3\xA9 resume", "resume", "CV", kDiacriticInsensitive), "CV CV");
  EXPECT_EQ(replacingOccurrences("aaa", "", "x", 0), "aaa");
}

// Collators and break iterators are cached per thread; concurrent callers
// must each get the right answers.
TEST(CollationTest, ConcurrentCallersAgree) {
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&wrong, t] {
      std::u16string text = toUtf16("a\xF0\x9F\x98\x80" "e\xCC\x81");
      for (int i = 0; i < 300; ++i) {
        if (compare("z", "\xC3\xB6", 0, t % 2 ? "sv_SE" : "de_DE") != (t % 2 ? kAsc : kDesc)) ++wrong;
        if (localizedCaseInsensitiveCompare("apple", "APPLE") != kSame) ++wrong;
        if (rangeOfComposedCharacterSequenceAtIndex(text, 2) != Range{1, 2}) ++wrong;
        if (rangeOfString("R\xC3\xA9sum\xC3\xA9", "resume", kCaseInsensitive | kDiacriticInsensitive) !=
            Range{0, 6}) {
          ++wrong;
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

// The searches find in one pass what comparing at every position found:
// random texts over a small alphabet (so that matches overlap and nearly
// match everywhere), with a combining mark that a match may not end before.
TEST(RangeOfStringTest, LinearSearchAgreesWithComparingAtEveryPosition) {
  std::mt19937 random(74);
  const char16_t alphabet[] = {u'a', u'b', u'\u0301'};
  auto draw = [&](size_t length, bool mark) {
    std::u16string text;
    for (size_t i = 0; i < length; ++i) text += alphabet[random() % (mark ? 3 : 2)];
    return text;
  };
  // The first (or last) k where the units agree and no mark follows.
  auto expected = [](const std::u16string& text, const std::u16string& target, bool backwards) {
    std::optional<size_t> found;
    for (size_t k = 0; k + target.size() <= text.size(); ++k) {
      size_t end = k + target.size();
      if (text.compare(k, target.size(), target) != 0) continue;
      if (end < text.size() && text[end] == u'\u0301') continue;
      found = k;
      if (!backwards) break;
    }
    return found ? Range{*found, target.size()} : Range{kNotFound, 0};
  };
  for (int round = 0; round < 3000; ++round) {
    std::u16string text = draw(random() % 40, true);
    std::u16string target = draw(1 + random() % 5, false);
    for (unsigned options : {0u, unsigned(kBackwards), unsigned(kLiteral)}) {
      Range found = rangeOfString(std::u16string_view(text), std::u16string_view(target), options);
      if (options == kLiteral) {
        size_t at = text.find(target);
        EXPECT_EQ(found, (at == std::u16string::npos ? Range{kNotFound, 0} : Range{at, target.size()}));
      } else {
        EXPECT_EQ(found, expected(text, target, options & kBackwards)) << toUtf8(text) << " / " << toUtf8(target);
      }
    }
  }
  // A long target that nearly matches at every position of a long text.
  std::u16string text(1048576, u'a');
  std::u16string target(524287, u'a');
  target += u'b';
  EXPECT_EQ(rangeOfString(std::u16string_view(text), std::u16string_view(target)), (Range{kNotFound, 0}));
  EXPECT_EQ(rangeOfString(std::u16string_view(text), std::u16string_view(target), kBackwards), (Range{kNotFound, 0}));
}

}  // namespace
}  // namespace ns
