#include <gtest/gtest.h>

#include "Platform/Foundation/StringLines.h"
#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

TEST(LineRangeTest, FirstLineIncludesEachKindOfTerminator) {
  struct Case {
    std::string text;
    Range first;
  } cases[] = {
      {"ab\ncd", {0, 3}},
      {"ab\r\ncd", {0, 4}},
      {"ab\rcd", {0, 3}},
      {"ab\xE2\x80\xA8" "cd", {0, 3}},  // U+2028
      {"ab\xE2\x80\xA9" "cd", {0, 3}},  // U+2029
      {"ab\xC2\x85" "cd", {0, 3}},      // U+0085
      {"abcd", {0, 4}},
      {"", {0, 0}},
      {"\n\n", {0, 1}},
      {"\r\n", {0, 2}},
      {"\xF0\x9F\x98\x80x\ny", {0, 4}},  // the pair counts two units
      {"a\vb", {0, 3}},                   // a vertical tab ends no line
  };
  for (const auto& c : cases) EXPECT_EQ(lineRangeForRange(c.text, Range{0, 0}), c.first) << c.text;
}

TEST(LineRangeTest, RangesInsideAndAcrossLines) {
  std::u16string text = u"one\r\ntwo\nthree";
  struct Case {
    Range in;
    Range line;
  } cases[] = {
      {{1, 0}, {0, 5}},   {{3, 0}, {0, 5}},    // on the "\r"
      {{4, 0}, {0, 5}},                        // on the "\n" of the pair
      {{5, 0}, {5, 4}},   {{6, 2}, {5, 4}},    // inside "two"
      {{2, 4}, {0, 9}},                        // across the first break
      {{3, 1}, {0, 5}},                        // just the "\r"
      {{10, 0}, {9, 5}},  {{14, 0}, {9, 5}},  // the last line, also at its very end
      {{99, 0}, {9, 5}},  {{12, 99}, {9, 5}},  // clamped
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lineRangeForRange(text, c.in), c.line) << c.in.location << "," << c.in.length;
  }
  // After a final terminator the end of the text is an empty line of its own.
  EXPECT_EQ(lineRangeForRange(u"a\n", Range{2, 0}), (Range{2, 0}));
}

TEST(LineRangeTest, BoundsGiveContentsEnd) {
  std::u16string text = u"ab\r\ncd";
  LineBounds b = lineBoundsForRange(text, {0, 0});
  EXPECT_EQ(b.start, 0u);
  EXPECT_EQ(b.contentsEnd, 2u);
  EXPECT_EQ(b.end, 4u);
  b = lineBoundsForRange(text, {4, 1});
  EXPECT_EQ(b.start, 4u);
  EXPECT_EQ(b.contentsEnd, 6u);
  EXPECT_EQ(b.end, 6u);
}

TEST(LineRangeTest, ParagraphsDoNotEndAtLineSeparators) {
  std::u16string text = u"ab\u2028cd\u2029ef\ngh";
  EXPECT_EQ(lineRangeForRange(text, {0, 0}), (Range{0, 3}));
  EXPECT_EQ(paragraphRangeForRange(text, {0, 0}), (Range{0, 6}));
  EXPECT_EQ(paragraphRangeForRange(text, {4, 0}), (Range{0, 6}));
  EXPECT_EQ(paragraphRangeForRange(text, {6, 0}), (Range{6, 3}));
  EXPECT_EQ(paragraphRangeForRange(std::string("x\r\ny"), {3, 0}), (Range{3, 1}));
}

}  // namespace
}  // namespace ns
