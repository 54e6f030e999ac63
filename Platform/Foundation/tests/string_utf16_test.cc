#include <gtest/gtest.h>

#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

// "a" U+1F600 (a surrogate pair) "e" + U+0301 (a combining acute) "€"
const std::string kMixed = "a\xF0\x9F\x98\x80" "e\xCC\x81" "\xE2\x82\xAC";

TEST(Utf16Test, LengthsCountCodeUnits) {
  struct Case {
    std::string text;
    size_t length;
  } cases[] = {
      {"", 0},
      {"abc", 3},
      {"\xC3\xA9", 1},                    // é precomposed
      {"e\xCC\x81", 2},                   // e + combining acute
      {"\xF0\x9F\x98\x80", 2},            // one emoji, two units
      {"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", 4},  // thumbs up + skin tone
      {kMixed, 6},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf16Length(c.text), c.length) << c.text;
    EXPECT_EQ(toUtf16(c.text).size(), c.length) << c.text;
    EXPECT_EQ(toUtf8(toUtf16(c.text)), c.text);
  }
}

TEST(Utf16Test, InvalidUtf8BecomesReplacementCharacters) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    std::string bytes;
    std::string cleaned;
  } cases[] = {
      {"a\xFF" "b", "a" + fffd + "b"},
      {"\xC3", fffd},                         // truncated two-byte sequence
      {"\xE2\x82", fffd},                     // truncated three-byte sequence: one subpart
      {"\xC0\xAF", fffd + fffd},              // overlong
      {"\xED\xA0\x80", fffd + fffd + fffd},   // encoded surrogate
      {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // above U+10FFFF
      {"\x80\x80x", fffd + fffd + "x"},
  };
  for (const auto& c : cases) {
    std::u16string u = toUtf16(c.bytes);
    EXPECT_EQ(toUtf8(u), c.cleaned);
    EXPECT_EQ(utf16Length(c.bytes), u.size());
    EXPECT_FALSE(isValidUtf8(c.bytes));
  }
  EXPECT_TRUE(isValidUtf8(kMixed + fffd));
}

TEST(Utf16Test, LoneSurrogatesBecomeReplacementCharacters) {
  std::u16string u = toUtf16(kMixed);
  // Cutting inside the pair leaves a lone lead and a lone trail.
  EXPECT_EQ(toUtf8(u.substr(0, 2)), "a\xEF\xBF\xBD");
  EXPECT_EQ(toUtf8(u.substr(2, 2)), "\xEF\xBF\xBD" "e");
}

TEST(Utf16Test, IndexConversionsAgree) {
  // Characters of kMixed: a(1 byte, 1 unit) emoji(4,2) e(1,1) U+0301(2,1) €(3,1)
  struct Case {
    size_t index;
    size_t offset;
  } toBytes[] = {{0, 0}, {1, 1}, {2, 1}, {3, 5}, {4, 6}, {5, 8}, {6, 11}, {99, 11}};
  for (const auto& c : toBytes) EXPECT_EQ(utf8OffsetForUtf16Index(kMixed, c.index), c.offset) << c.index;
  struct Back {
    size_t offset;
    size_t index;
  } toUnits[] = {{0, 0}, {1, 1}, {3, 1}, {5, 3}, {6, 4}, {7, 4}, {8, 5}, {10, 5}, {11, 6}, {50, 6}};
  for (const auto& c : toUnits) EXPECT_EQ(utf16IndexForUtf8Offset(kMixed, c.offset), c.index) << c.offset;
}

TEST(Utf16Test, SubstringByRangeChecksOrClamps) {
  EXPECT_EQ(substringWithRange(kMixed, {1, 2}), "\xF0\x9F\x98\x80");
  EXPECT_EQ(substringWithRange(kMixed, {3, 2}), "e\xCC\x81");
  EXPECT_EQ(substringWithRange(kMixed, {6, 0}), "");
  EXPECT_FALSE(substringWithRange(kMixed, {5, 2}));
  EXPECT_FALSE(substringWithRange(kMixed, {7, 0}));
  EXPECT_FALSE(substringWithRange(kMixed, {1, kNotFound}));  // no overflow on huge lengths
  EXPECT_EQ(substringClamped(kMixed, {5, 10}), "\xE2\x82\xAC");
  EXPECT_EQ(substringClamped(kMixed, {kNotFound, 1}), "");
  EXPECT_EQ(substringToIndex(kMixed, 3), "a\xF0\x9F\x98\x80");
  EXPECT_EQ(substringFromIndex(kMixed, 3), "e\xCC\x81\xE2\x82\xAC");
  EXPECT_EQ(substringFromIndex(kMixed, 40), "");
}

TEST(Utf16Test, ComposedCharacterSequences) {
  std::u16string u = toUtf16(kMixed);
  struct Case {
    size_t index;
    Range range;
  } cases[] = {{0, {0, 1}}, {1, {1, 2}}, {2, {1, 2}}, {3, {3, 2}}, {4, {3, 2}}, {5, {5, 1}}, {6, {6, 0}}};
  for (const auto& c : cases) {
    EXPECT_EQ(rangeOfComposedCharacterSequenceAtIndex(u, c.index), c.range) << c.index;
  }
  EXPECT_EQ(rangeOfComposedCharacterSequencesForRange(u, {2, 2}), (Range{1, 4}));
  EXPECT_EQ(rangeOfComposedCharacterSequencesForRange(u, {2, 0}), (Range{1, 2}));
  EXPECT_EQ(rangeOfComposedCharacterSequencesForRange(u, {3, 0}), (Range{3, 0}));
  EXPECT_EQ(rangeOfComposedCharacterSequencesForRange(u, {0, 6}), (Range{0, 6}));
  // A flag (two regional indicators) and a skin-toned emoji are single sequences.
  std::u16string flag = toUtf16("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7x");
  EXPECT_EQ(rangeOfComposedCharacterSequenceAtIndex(flag, 2), (Range{0, 4}));
}

TEST(Utf16Test, TruncationNeverSplitsACharacter) {
  struct Case {
    size_t max;
    std::string result;
  } cases[] = {{0, ""},
               {1, "a"},
               {2, "a"},  // would cut the pair
               {3, "a\xF0\x9F\x98\x80"},
               {4, "a\xF0\x9F\x98\x80"},  // would cut e from its accent
               {5, "a\xF0\x9F\x98\x80" "e\xCC\x81"},
               {6, kMixed},
               {60, kMixed}};
  for (const auto& c : cases) EXPECT_EQ(truncatedToUtf16Length(kMixed, c.max), c.result) << c.max;
}

}  // namespace
}  // namespace ns
