#include <gtest/gtest.h>

#include "Notes/NotesAttributedString.h"
#include "Notes/NotesFont.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/testing/FontFiles.h"

namespace {

using ui::Font;
using ui::kFontTraitBold;
using ui::kFontTraitItalic;

// Real fonts: "DejaVu Sans" with its regular face only, "DejaVu Serif" with
// all four faces.
class NotesTextTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    files_ = new ui::testing::FontFiles({"DejaVuSans.ttf", "DejaVuSerif.ttf", "DejaVuSerif-Bold.ttf",
                                         "DejaVuSerif-Italic.ttf", "DejaVuSerif-BoldItalic.ttf"});
    catalog_ = new ui::FontCatalog({files_->directory()});
  }
  static void TearDownTestSuite() {
    delete catalog_;
    delete files_;
  }
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(files_->expectComplete()); }

  static std::shared_ptr<const Font> font(const std::string& family, uint32_t traits, double size) {
    auto regular = Font::withName(family, size, *catalog_);
    return traits ? NotesFont::fontWithTraits(*regular, traits) : regular;
  }

  static ui::testing::FontFiles* files_;
  static ui::FontCatalog* catalog_;
};
ui::testing::FontFiles* NotesTextTest::files_;
ui::FontCatalog* NotesTextTest::catalog_;

TEST_F(NotesTextTest, FontWithTraitsNeedsTheFace) {
  auto serif = font("DejaVu Serif", 0, 16);
  auto sans = font("DejaVu Sans", 0, 16);
  struct Case {
    std::shared_ptr<const Font> from;
    uint32_t traits;
    const char* fontName;  // nullptr: no font
  };
  const Case cases[] = {
      {serif, 0, "DejaVuSerif"},
      {serif, kFontTraitBold, "DejaVuSerif-Bold"},
      {serif, kFontTraitItalic, "DejaVuSerif-Italic"},
      {serif, kFontTraitBold | kFontTraitItalic | 0x8000, "DejaVuSerif-BoldItalic"},  // other bits ignored
      {font("DejaVu Serif", kFontTraitBold, 16), 0, "DejaVuSerif"},
      {sans, 0, "DejaVuSans"},
      {sans, kFontTraitBold, nullptr},  // the family has no bold face
      {sans, kFontTraitItalic, nullptr},
      {sans, 0x8000, "DejaVuSans"},
  };
  for (const Case& c : cases) {
    auto result = NotesFont::fontWithTraits(*c.from, c.traits);
    if (!c.fontName) {
      EXPECT_FALSE(result) << c.from->fontName() << " " << c.traits;
      continue;
    }
    ASSERT_TRUE(result) << c.from->fontName() << " " << c.traits;
    EXPECT_EQ(result->fontName(), c.fontName);
    EXPECT_EQ(result->familyName(), c.from->familyName());
    EXPECT_EQ(result->pointSize(), 16);
  }
}

TEST_F(NotesTextTest, ChangingTheFontKeepsEachRunsTraits) {
  // "Bold" in serif bold, " regular" in serif, " italic" in serif italic.
  ns::AttributedString text("Bold", {{ns::kFontAttributeName, font("DejaVu Serif", kFontTraitBold, 12)}});
  text.append(ns::AttributedString(" regular", {{ns::kFontAttributeName, font("DejaVu Serif", 0, 12)}}));
  text.append(ns::AttributedString(" italic", {{ns::kFontAttributeName, font("DejaVu Serif", kFontTraitItalic, 12)}}));
  text.append(ns::AttributedString(" none"));
  const ns::AttributedString before = text;

  auto toSans = NotesAttributedString::attributedStringByChangingAttribute(
      text, ns::kFontAttributeName, font("DejaVu Sans", 0, 20));
  auto fontAt = [](const ns::AttributedString& s, size_t i) {
    return s.attributeAtIndex(ns::kFontAttributeName, i).as<Font>();
  };
  // Sans lacks bold and italic: those runs keep their old fonts.
  EXPECT_EQ(fontAt(toSans, 0)->fontName(), "DejaVuSerif-Bold");
  EXPECT_EQ(fontAt(toSans, 0)->pointSize(), 12);
  EXPECT_EQ(fontAt(toSans, 5)->fontName(), "DejaVuSans");
  EXPECT_EQ(fontAt(toSans, 5)->pointSize(), 20);
  EXPECT_EQ(fontAt(toSans, 13)->fontName(), "DejaVuSerif-Italic");
  EXPECT_EQ(fontAt(toSans, 21)->fontName(), "DejaVuSans");  // a run without a font gets the regular face
  EXPECT_TRUE(text == before) << "the receiver is not changed";

  auto back = NotesAttributedString::attributedStringByChangingAttribute(
      toSans, ns::kFontAttributeName, font("DejaVu Serif", 0, 14));
  EXPECT_EQ(fontAt(back, 0)->fontName(), "DejaVuSerif-Bold");
  EXPECT_EQ(fontAt(back, 0)->pointSize(), 14);
  EXPECT_EQ(fontAt(back, 5)->fontName(), "DejaVuSerif");
  EXPECT_EQ(fontAt(back, 13)->fontName(), "DejaVuSerif-Italic");
  EXPECT_EQ(fontAt(back, 21)->fontName(), "DejaVuSerif");

  // A nil font changes nothing.
  EXPECT_TRUE(NotesAttributedString::attributedStringByChangingAttribute(text, ns::kFontAttributeName, {}) == text);
}

TEST_F(NotesTextTest, OtherAttributesAreReplacedOrRemovedEverywhere) {
  ns::AttributedString text("red and plain");
  text.addAttribute(ns::kForegroundColorAttributeName, ui::Color::red(), ns::Range{0, 3});
  text.addAttribute(ns::kForegroundColorAttributeName, ui::Color::blue(), ns::Range{8, 2});

  auto removed = NotesAttributedString::attributedStringByChangingAttribute(
      text, ns::kForegroundColorAttributeName, {});
  EXPECT_TRUE(removed == ns::AttributedString("red and plain"));

  auto gray = ui::Color::withWhite(0.2);
  auto changed = NotesAttributedString::attributedStringByChangingAttribute(
      text, ns::kForegroundColorAttributeName, gray);
  EXPECT_TRUE(changed == ns::AttributedString("red and plain", {{ns::kForegroundColorAttributeName, gray}}));

  auto underlined = NotesAttributedString::attributedStringByChangingAttribute(
      text, ns::kUnderlineStyleAttributeName, 1);
  ns::Range all;
  EXPECT_EQ(underlined.attributeAtIndex(ns::kUnderlineStyleAttributeName, 4, &all), ns::AttributeValue(1));
  EXPECT_EQ(all, (ns::Range{0, 13}));
}

}  // namespace
