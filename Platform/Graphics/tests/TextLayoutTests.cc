#include <gtest/gtest.h>

#include "Platform/Graphics/ImageContext.h"
#include "Platform/Graphics/TextLayout.h"

namespace {

using cg::TextLayout;
using cg::TextRun;
using cg::TextStyle;

std::vector<TextRun> plain(const std::string& text, double size = 12) {
  TextStyle style;
  style.size = size;
  return {TextRun{text, style}};
}

TEST(TextLayoutTest, MeasuresGrowWithTextAndSize) {
  TextLayout shortText(plain("Hi"), 0);
  TextLayout longText(plain("Hi there, a longer line"), 0);
  TextLayout bigText(plain("Hi", 24), 0);
  EXPECT_GT(shortText.size().width, 0);
  EXPECT_GT(longText.size().width, shortText.size().width);
  EXPECT_GT(bigText.size().height, shortText.size().height * 1.7);
  EXPECT_EQ(shortText.lineCount(), 1);
  // Empty text still has one line's height.
  TextLayout empty(plain(""), 0);
  EXPECT_NEAR(empty.size().height, shortText.size().height, 0.01);
  EXPECT_EQ(empty.size().width, 0);
}

TEST(TextLayoutTest, WrapsWithinWidthAndHonoursLineLimits) {
  std::string words = "one two three four five six seven eight nine ten eleven twelve";
  TextLayout unbounded(plain(words), 0);
  double full = unbounded.size().width;
  TextLayout wrapped(plain(words), full / 3);
  EXPECT_GE(wrapped.lineCount(), 3);
  EXPECT_LE(wrapped.size().width, full / 3 + 0.01);
  std::string joined;
  for (const auto& line : wrapped.lines()) joined += line;
  EXPECT_EQ(joined, words);  // lines keep their breaking spaces

  cg::ParagraphLayout two;
  two.maximumLines = 2;
  TextLayout limited(plain(words), full / 3, two);
  EXPECT_EQ(limited.lineCount(), 2);

  TextLayout newlines(plain("a\nb\nc"), 0);
  EXPECT_EQ(newlines.lineCount(), 3);
  EXPECT_EQ(newlines.lines(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(TextLayoutTest, DrawsInItsColour) {
  TextStyle style;
  style.size = 30;
  style.color = {1, 0, 0, 1};
  TextLayout text({TextRun{"MMMM", style}}, 0);
  cg::ImageContext ctx(text.size(), false, 1);
  ctx.drawText(text, {0, 0});
  auto image = ctx.makeImage();
  int red = 0, other = 0;
  for (int y = 0; y < image->pixelHeight(); ++y) {
    for (int x = 0; x < image->pixelWidth(); ++x) {
      cg::Pixel p = image->pixel(x, y);
      if (p.a == 255) (p.r == 255 && p.g == 0 && p.b == 0 ? red : other)++;
    }
  }
  EXPECT_GT(red, 50);
  EXPECT_EQ(other, 0);
}

TEST(TextLayoutTest, LineLimitsCountEveryParagraph) {
  cg::ParagraphLayout one;
  one.maximumLines = 1;
  one.lineBreak = cg::LineBreak::TruncateTail;
  TextLayout single(plain("Title"), 200, one);
  TextLayout cut(plain("Title\nmore text"), 200, one);
  EXPECT_EQ(cut.lineCount(), 1);
  EXPECT_NEAR(cut.size().height, single.size().height, 0.01);
  EXPECT_EQ(cut.lines(), (std::vector<std::string>{"Title\u2026"}));
  // Nothing but a line break after the last line: nothing is marked cut.
  TextLayout trailing(plain("Title\n"), 200, one);
  EXPECT_EQ(trailing.lines(), (std::vector<std::string>{"Title"}));
}

TEST(TextLayoutTest, InlineBoxesSitOnTheBaselineAndCaretsFollowTheText) {
  TextStyle style;
  style.size = 12;
  TextRun box{"\uFFFC", style, cg::Size{30, 40}};
  TextLayout text({TextRun{"ab", style}, box, TextRun{"cd", style}}, 0);
  std::vector<cg::Rect> boxes = text.inlineBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  TextLayout ab(plain("ab"), 0);
  EXPECT_NEAR(boxes[0].minX(), ab.size().width, 0.5);
  EXPECT_EQ(boxes[0].size, (cg::Size{30, 40}));
  EXPECT_GE(text.size().height, 40);  // the line grows to hold it
  EXPECT_GE(boxes[0].minY(), 0);
  // The caret before "c" stands after the box, one line high.
  cg::Rect caret = text.caretRect(int(std::string("ab\uFFFC").size()));
  EXPECT_NEAR(caret.minX(), boxes[0].maxX(), 0.5);
  EXPECT_EQ(caret.width(), 0);
  EXPECT_GT(caret.height(), 12);
}

}  // namespace
