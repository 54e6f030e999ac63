#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/testing/FontFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ui {
namespace {

namespace fs = std::filesystem;

// A catalogue of chosen real font files: "DejaVu Sans" with only its regular
// face, "DejaVu Serif" with all four.
class FontTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    files_ = new testing::FontFiles({"DejaVuSans.ttf", "DejaVuSerif.ttf", "DejaVuSerif-Bold.ttf",
                                     "DejaVuSerif-Italic.ttf", "DejaVuSerif-BoldItalic.ttf"});
    catalog_ = new FontCatalog({files_->directory()});
  }
  static void TearDownTestSuite() {
    delete catalog_;
    delete files_;
  }
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(files_->expectComplete()); }

  static std::shared_ptr<const Font> font(const std::string& family, uint32_t traits, double size) {
    auto descriptor = FontDescriptor::withFontAttributes({{kFontFamilyAttribute, family}});
    return Font::withDescriptor(descriptor->withSymbolicTraits(traits), size, *catalog_);
  }

  static testing::FontFiles* files_;
  static FontCatalog* catalog_;
};
testing::FontFiles* FontTest::files_;
FontCatalog* FontTest::catalog_;

TEST_F(FontTest, CatalogueKnowsWhichFacesAFamilyHas) {
  EXPECT_EQ(catalog_->familyNames(),
            (std::vector<std::string>{"DejaVu Sans", "DejaVu Serif", "Helvetica", "Helvetica Neue"}));
  struct Case {
    const char* family;
    uint32_t traits;
    uint32_t got;
    const char* fontName;
  };
  const Case cases[] = {
      {"DejaVu Serif", 0, 0, "DejaVuSerif"},
      {"DejaVu Serif", kFontTraitBold, kFontTraitBold, "DejaVuSerif-Bold"},
      {"DejaVu Serif", kFontTraitItalic, kFontTraitItalic, "DejaVuSerif-Italic"},
      {"DejaVu Serif", 3, 3, "DejaVuSerif-BoldItalic"},
      {"DejaVu Sans", kFontTraitBold, 0, "DejaVuSans"},  // no bold face: the regular one
      {"DejaVu Sans", 3, 0, "DejaVuSans"},
  };
  for (const Case& c : cases) {
    auto f = font(c.family, c.traits, 15);
    ASSERT_TRUE(f) << c.family;
    EXPECT_EQ(f->symbolicTraits(), c.got) << c.family << " " << c.traits;
    EXPECT_EQ(f->fontName(), c.fontName);
    EXPECT_EQ(f->familyName(), c.family);
    EXPECT_EQ(f->pointSize(), 15);
    EXPECT_TRUE(fs::exists(f->face().file));
  }
  EXPECT_FALSE(font("No Such Family", 0, 12));
  EXPECT_FALSE(Font::withName("NoSuchFont-Bold", 12, *catalog_));
}

TEST_F(FontTest, PlatformFamiliesKeepTheirNames) {
  auto regular = Font::withName(kDefaultNoteFontFamily, 17, *catalog_);
  ASSERT_TRUE(regular);
  EXPECT_EQ(regular->familyName(), "Helvetica Neue");
  EXPECT_EQ(regular->fontName(), "HelveticaNeue");
  EXPECT_EQ(regular->faceName(), "Regular");
  auto bold = Font::withName("HelveticaNeue-Bold", 17, *catalog_);
  ASSERT_TRUE(bold);
  EXPECT_EQ(bold->familyName(), "Helvetica Neue");
  // Drawn by an installed family; bold exactly when that family has bold.
  bool substituteHasBold = catalog_->bestFace(kDefaultNoteFontFamily, kFontTraitBold)->bold();
  EXPECT_EQ(bold->isBold(), substituteHasBold);
  EXPECT_EQ(bold->fontName(), substituteHasBold ? "HelveticaNeue-Bold" : "HelveticaNeue");
  EXPECT_TRUE(Font::withName("Helvetica Neue", 17, *catalog_)->isEqual(*regular));
}

TEST_F(FontTest, FontsCompareByValueAndDescribeThemselves) {
  auto a = font("DejaVu Serif", kFontTraitBold, 14);
  EXPECT_TRUE(a->isEqual(*font("DejaVu Serif", kFontTraitBold, 14)));
  EXPECT_FALSE(a->isEqual(*font("DejaVu Serif", 0, 14)));
  EXPECT_FALSE(a->isEqual(*a->withSize(15)));
  FontDescriptor d = a->fontDescriptor();
  EXPECT_EQ(d.familyName(), "DejaVu Serif");
  EXPECT_EQ(d.symbolicTraits(), kFontTraitBold);
  EXPECT_TRUE(Font::withDescriptor(d, 0, *catalog_)->isEqual(*a));
  EXPECT_EQ(a->description(),
            "font-family: \"DejaVu Serif\"; font-weight: bold; font-style: normal; font-size: 14.00pt");
  EXPECT_FALSE(FontDescriptor::withFontAttributes({{kFontFamilyAttribute, 3}}));
  EXPECT_FALSE(FontDescriptor::withFontAttributes({{kFontTraitsAttribute, "bold"}}));
}

TEST(SharedFontCatalogTest, MachineFontsServeTheNoteFont) {
  FontCatalog& catalog = FontCatalog::shared();
  auto names = catalog.familyNames();
  ASSERT_FALSE(names.empty()) << "fontconfig found no fonts";
  EXPECT_NE(std::find(names.begin(), names.end(), "Helvetica Neue"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "DejaVu Sans"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), kSystemFontFamily), names.end());
  auto body = Font::preferredFontForTextStyle(kTextStyleBody);
  ASSERT_TRUE(body);
  EXPECT_EQ(body->pointSize(), 17);
  EXPECT_TRUE(Font::boldSystemFont(20)->isBold());
  EXPECT_FALSE(Font::fontNamesForFamilyName("DejaVu Sans").empty());
  // Notes keep bold and italic runs only where the drawing family has the
  // faces: every family the app and documents use has all four.
  for (const char* family : {kDefaultNoteFontFamily, kDefaultDocumentFontFamily, kSystemFontFamily}) {
    for (uint32_t traits : {0u, kFontTraitBold, kFontTraitItalic, kFontTraitBold | kFontTraitItalic}) {
      auto face = catalog.bestFace(family, traits);
      ASSERT_TRUE(face) << family;
      EXPECT_EQ(face->symbolicTraits() & (kFontTraitBold | kFontTraitItalic), traits)
          << family << " has no face for traits " << traits << " (scripts/install-deps installs the fonts)";
    }
  }
}

}  // namespace
}  // namespace ui
