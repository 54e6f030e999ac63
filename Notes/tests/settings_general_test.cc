// The general settings, the sort order picker and the font screens on the
// launched app: what the rows show of the stored values, the choices they
// store, and the restyle of every note when the font screen is left.
#include <gtest/gtest.h>

#include "Notes/NTData.h"
#include "Notes/NTNote.h"
#include "Notes/NTSettings.h"
#include "Notes/NotesFont.h"
#include "Notes/tests/launch_fixture.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ScreenText.h"

namespace {

using ui::Input;

class SettingsGeneralTest : public notes::testing::LaunchTest {
 protected:
  static std::string screen() { return ui::ScreenText::render(); }
  static bool shows(const std::string& text) { return screen().find(text) != std::string::npos; }
  static ns::UserDefaults& defaults() { return *NTSettings::userDefaults(); }

  void openGeneral() {
    if (!delegate_) {
      launch();
      ASSERT_TRUE(Input::goBack());
    }
    ASSERT_TRUE(Input::tap("Settings")) << Input::lastFailure();
    ASSERT_TRUE(Input::tap("Settings")) << Input::lastFailure() << screen();  // the general settings row
    ASSERT_TRUE(shows("Font & Size")) << screen();
  }

  static std::shared_ptr<const ui::Font> font(const std::string& family, uint32_t traits, double size) {
    auto regular = ui::Font::withName(family, size);
    return traits ? NotesFont::fontWithTraits(*regular, traits) : regular;
  }
  // The font of the character at `index` of the note's text.
  static std::shared_ptr<const ui::Font> fontAt(const NTNote& note, size_t index) {
    auto attributes = note.text()->attributesAtIndex(index);
    return attributes.at(ns::kFontAttributeName).as<ui::Font>();
  }

  // A note "plain bold italic" whose last two words are bold and italic in
  // `family` at 17 points, stamped `stamp`.
  std::shared_ptr<NTNote> addNote(const std::string& family, ns::Date stamp) {
    auto text = ns::AttributedString("plain bold italic", {{ns::kFontAttributeName, font(family, 0, 17)}});
    text.addAttribute(ns::kFontAttributeName, font(family, ui::kFontTraitBold, 17), ns::Range{6, 4});
    text.addAttribute(ns::kFontAttributeName, font(family, ui::kFontTraitItalic, 17), ns::Range{11, 6});
    auto note = NTData::insertNewNoteAtIndex(context(), 0, NTData::defaultFolder(context()));
    note->setText(&text, stamp);
    return note;
  }
};

TEST_F(SettingsGeneralTest, RowsShowTheStoredValues) {
  struct Case {
    double size;
    int64_t order;
    const char* font;
    const char* sort;
  };
  const Case cases[] = {{17.5, 0, "\"Helvetica Neue 17\"", "\"By Date\""},
                        {12.99, 1, "\"Helvetica Neue 12\"", "\"Alphabet\""},
                        {20, 2, "\"Helvetica Neue 20\"", "\"Manual\""},
                        {20, 7, "\"Helvetica Neue 20\"", "\"By Date\""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.font);
    defaults().setFloat(float(c.size), NTSettings::kFontSizeKey);
    defaults().setInteger(c.order, NTSettings::kNotesSortOrderKey);
    openGeneral();
    EXPECT_TRUE(shows(std::string("\"Font & Size\" ") + c.font + " >")) << screen();
    EXPECT_TRUE(shows(std::string("\"Sort Order\" ") + c.sort + " >")) << screen();
    ASSERT_TRUE(Input::goBack());
    ASSERT_TRUE(Input::pressBarButton("Done"));
  }
}

TEST_F(SettingsGeneralTest, ShowNoteDateSwitchStoresItsState) {
  openGeneral();
  ASSERT_TRUE(defaults().boolForKey(NTSettings::kShowNoteDateKey));
  ASSERT_TRUE(Input::toggle("Show Note Date"));
  EXPECT_FALSE(defaults().boolForKey(NTSettings::kShowNoteDateKey));
  EXPECT_TRUE(shows("\"Show Note Date\" Switch[off]"));
}

TEST_F(SettingsGeneralTest, ChoosingASortOrderStoresItAndMovesTheCheckmarkAtOnce) {
  defaults().setInteger(0, NTSettings::kNotesSortOrderKey);
  openGeneral();
  ASSERT_TRUE(Input::tap("Sort Order"));
  EXPECT_TRUE(shows("\"Notes Sort Order\"")) << screen();
  EXPECT_TRUE(shows("\"By Date\" ✓")) << screen();
  EXPECT_TRUE(shows("With \"Manual\" sort order you can manually reorder notes")) << screen();
  ASSERT_TRUE(Input::tap("Manual"));
  EXPECT_EQ(defaults().integerForKey(NTSettings::kNotesSortOrderKey), 2);
  EXPECT_TRUE(shows("\"Manual\" ✓")) << screen();
  EXPECT_FALSE(shows("\"By Date\" ✓")) << screen();
  EXPECT_FALSE(shows("(selected)")) << screen();
  ASSERT_TRUE(Input::goBack());
  EXPECT_TRUE(shows("\"Sort Order\" \"Manual\" >")) << screen();
}

TEST_F(SettingsGeneralTest, LeavingTheFontScreenUnchangedTouchesNoNote) {
  launch();
  ASSERT_TRUE(Input::goBack());
  ns::Date stamp(790000000.0);
  auto note = addNote("DejaVu Serif", stamp);
  ASSERT_TRUE(NTData::saveContext(context()));
  openGeneral();
  ASSERT_TRUE(Input::tap("Font & Size"));
  EXPECT_TRUE(shows("\"Font Type\" \"Helvetica Neue\" >")) << screen();
  ASSERT_TRUE(Input::goBack());
  EXPECT_FALSE(context().hasChanges());
  EXPECT_EQ(fontAt(*note, 0)->familyName(), "DejaVu Serif");
  EXPECT_EQ(note->timeStamp(), stamp);
}

TEST_F(SettingsGeneralTest, ChangingTheFontRestylesEveryNoteKeepingStampsAndTraits) {
  launch();
  ASSERT_TRUE(Input::goBack());
  ns::Date older(790000000.0), newer(795000000.0);
  auto first = addNote("DejaVu Sans", older);
  auto second = addNote("DejaVu Sans", newer);
  ASSERT_TRUE(NTData::saveContext(context()));
  openGeneral();
  ASSERT_TRUE(Input::tap("Font & Size"));
  ASSERT_TRUE(Input::tap("Font Type"));
  EXPECT_TRUE(shows("\"Helvetica Neue\" ✓")) << screen();
  ASSERT_TRUE(Input::tap("DejaVu Serif")) << screen();
  EXPECT_TRUE(shows("\"Font Type\" \"DejaVu Serif\" >")) << screen();
  ASSERT_TRUE(Input::slide("Font Size: 17", 21.6f));
  EXPECT_TRUE(shows("\"Font Size: 21\"")) << screen();
  // Nothing is stored while the screen is up.
  EXPECT_EQ(defaults().stringForKey(NTSettings::kFontFamilyNameKey), "Helvetica Neue");
  ASSERT_TRUE(Input::goBack());
  EXPECT_EQ(defaults().stringForKey(NTSettings::kFontFamilyNameKey), "DejaVu Serif");
  EXPECT_FLOAT_EQ(defaults().floatForKey(NTSettings::kFontSizeKey), 21.6f);
  EXPECT_TRUE(shows("\"Font & Size\" \"DejaVu Serif 21\" >")) << screen();

  EXPECT_FALSE(context().hasChanges());  // saved
  for (const auto& [note, stamp] : {std::pair{first, older}, std::pair{second, newer}}) {
    EXPECT_EQ(note->timeStamp(), stamp);
    auto plain = fontAt(*note, 0), bold = fontAt(*note, 7), italic = fontAt(*note, 12);
    for (const auto& f : {plain, bold, italic}) {
      EXPECT_EQ(f->familyName(), "DejaVu Serif");
      EXPECT_DOUBLE_EQ(f->pointSize(), double(21.6f));
    }
    EXPECT_FALSE(plain->isBold() || plain->isItalic());
    EXPECT_TRUE(bold->isBold() && !bold->isItalic());
    EXPECT_TRUE(italic->isItalic() && !italic->isBold());
  }
  // By date the newer note still comes first.
  defaults().setInteger(0, NTSettings::kNotesSortOrderKey);
  auto byDate = NTData::fetchSortedNotesInFolder(context(), nullptr);
  auto position = [&](const std::shared_ptr<NTNote>& n) { return std::find(byDate.begin(), byDate.end(), n); };
  EXPECT_LT(position(second), position(first));
}

}  // namespace
