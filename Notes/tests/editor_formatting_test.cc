// The editor's keyboard accessory: formatting toggles, cursor keys, undo,
// collapsing, and photos scaled to the text width.
#include <gtest/gtest.h>

#include "Notes/NTKeyboardAccessoryView.h"
#include "Notes/NTSettings.h"
#include "Notes/tests/editor_fixture.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/TextAttachment.h"
#include "Platform/UIKit/testing/FontFiles.h"

namespace {

using notes::testing::EditorTest;

class FormattingTest : public EditorTest {
 protected:
  // A new note with `text` typed into it, the keyboard up.
  std::shared_ptr<DetailViewController> editorWith(const std::string& text) {
    auto editor = openEditor(nullptr);
    if (!text.empty()) ui::Input::type(text);
    return editor;
  }
  static std::shared_ptr<const ui::Font> fontAt(const ui::TextView& view, size_t index) {
    return view.attributedText().attributeAtIndex(ns::kFontAttributeName, index).as<ui::Font>();
  }
};

TEST(PhotoScaleTest, PhotosShrinkToTheTextWidthAndNeverGrowEvenInANarrowPane) {
  struct Case {
    double photoWidth, textWidth, factor;
  };
  const Case cases[] = {
      {690, 375, 2},      // wider than the 345 points inside the margins
      {345, 375, 1},      // exactly fits
      {100, 375, 1},      // narrower: kept at its size
      {100, 30, 100},     // no room left: one point wide, not a division by zero
      {100, 10, 100},     // a pane narrower than the margins: not negative
      {100, 0, 100},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(DetailViewController::photoScaleFactor(c.photoWidth, c.textWidth), c.factor)
        << c.photoWidth << " in " << c.textWidth;
}

TEST_F(FormattingTest, BoldAndItalicAtTheEndApplyToWhatIsTypedNext) {
  auto editor = editorWith("plain ");
  auto& text = editor->noteContentTextView();
  ASSERT_TRUE(ui::Input::tap("Bold"));
  ASSERT_TRUE(ui::Input::tap("Italic"));
  EXPECT_TRUE(editor->keyboardAccessory()->boldButton().isSelected());
  EXPECT_TRUE(editor->keyboardAccessory()->italicButton().isSelected());
  ui::Input::type("strong");
  EXPECT_FALSE(fontAt(text, 0)->isBold());
  auto typed = fontAt(text, 6);
  EXPECT_TRUE(typed->isBold());
  EXPECT_TRUE(typed->isItalic());
  // Moving the caret away and back to the end keeps the chosen format.
  editor->didTapLeft();
  text.setSelectedRange(ns::Range{text.attributedText().length(), 0});
  ui::Input::type("!");
  EXPECT_TRUE(fontAt(text, 12)->isBold());
}

TEST_F(FormattingTest, TogglesChangeTheSelectionInPlace) {
  auto editor = editorWith("one two three");
  auto& text = editor->noteContentTextView();
  text.setSelectedRange(ns::Range{4, 3});
  editor->didTapBold();
  editor->didTapUnderline();
  EXPECT_EQ(text.selectedRange(), (ns::Range{4, 3}));
  EXPECT_FALSE(fontAt(text, 3)->isBold());
  EXPECT_TRUE(fontAt(text, 4)->isBold());
  EXPECT_TRUE(fontAt(text, 6)->isBold());
  EXPECT_FALSE(fontAt(text, 7)->isBold());
  EXPECT_TRUE(text.attributedText().attributeAtIndex(ns::kUnderlineStyleAttributeName, 5).boolValue());
  EXPECT_TRUE(editor->keyboardAccessory()->underlineButton().isSelected());
  editor->didTapUnderline();
  EXPECT_TRUE(text.attributedText().attributeAtIndex(ns::kUnderlineStyleAttributeName, 5).isNil());
}

TEST_F(FormattingTest, AFamilyWithoutABoldFaceSaysSoAndChangesNothing) {
  ui::testing::FontFiles files({"DejaVuSans.ttf"});
  ui::FontCatalog catalog({files.directory()});
  auto sans = ui::Font::withName("DejaVu Sans", 17, catalog);
  ASSERT_TRUE(sans);
  auto editor = editorWith("");
  auto& text = editor->noteContentTextView();
  auto typing = text.typingAttributes();
  typing[ns::kFontAttributeName] = ns::AttributeValue(sans);
  text.setTypingAttributes(typing);
  editor->didTapBold();
  ui::Input::settle();
  EXPECT_NE(ui::ScreenText::render().find("The font type doesn't support this trait"), std::string::npos)
      << ui::ScreenText::render();
  EXPECT_EQ(text.typingAttributes(), typing);
  EXPECT_FALSE(editor->keyboardAccessory()->boldButton().isSelected());
}

TEST_F(FormattingTest, CursorKeysStopAtTheEndsAndRepeatWhileHeld) {
  auto editor = editorWith("abcdefghijklmnopqrstuvwxyz");
  auto& text = editor->noteContentTextView();
  editor->didTapRight();  // at the end already
  EXPECT_EQ(text.selectedRange(), (ns::Range{26, 0}));
  text.setSelectedRange(ns::Range{0, 0});
  editor->didTapLeft();
  EXPECT_EQ(text.selectedRange(), (ns::Range{0, 0}));
  // With a selection: one before its start, one past its end.
  text.setSelectedRange(ns::Range{5, 3});
  editor->didTapLeft();
  EXPECT_EQ(text.selectedRange(), (ns::Range{4, 0}));
  text.setSelectedRange(ns::Range{5, 3});
  editor->didTapRight();
  EXPECT_EQ(text.selectedRange(), (ns::Range{9, 0}));

  // Held 1.1 s: one step, then one every 0.05 s until the finger lifts.
  text.setSelectedRange(ns::Range{26, 0});
  ASSERT_TRUE(ui::Input::longPress("Left", 1.1 + 0.5)) << ui::Input::lastFailure();
  size_t afterPress = text.selectedRange().location;
  EXPECT_GE(26 - afterPress, 9u);
  EXPECT_LE(26 - afterPress, 12u);
  ui::Input::advance(1);
  ui::Input::settle();
  EXPECT_EQ(text.selectedRange().location, afterPress);
}

TEST_F(FormattingTest, UndoAndRedoKeysFollowTheUndoManager) {
  auto editor = editorWith("");
  auto* bar = editor->keyboardAccessory();
  EXPECT_FALSE(bar->undoButton().isEnabled());
  ui::Input::type("words");
  EXPECT_TRUE(bar->undoButton().isEnabled());
  EXPECT_FALSE(bar->redoButton().isEnabled());
  ASSERT_TRUE(ui::Input::tap("Undo"));
  EXPECT_EQ(editor->noteContentTextView().text(), "");
  EXPECT_TRUE(bar->redoButton().isEnabled());
  ASSERT_TRUE(ui::Input::tap("Redo"));
  EXPECT_EQ(editor->noteContentTextView().text(), "words");
}

TEST_F(FormattingTest, TheCollapsedBarIsTheSameInEveryNote) {
  auto editor = editorWith("x");
  ASSERT_TRUE(ui::Input::tap("Collapse"));
  ui::Input::settle();
  EXPECT_TRUE(NTSettings::userDefaults()->boolForKey(NTSettings::kKeyboardAccessoryCollapsedKey));
  EXPECT_EQ(editor->keyboardAccessory()->toolbarView().transform().ty, NTKeyboardAccessoryView::kHeight);
  // The row that slid away is neither on screen nor touched.
  std::string screen = ui::ScreenText::renderForPerson();
  EXPECT_NE(screen.find("[Collapse]"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("[Bold]"), std::string::npos) << screen;
  EXPECT_FALSE(ui::Input::tap("Bold"));
  ui::Input::goBack();
  auto next = openEditor(nullptr);
  EXPECT_EQ(next->keyboardAccessory()->toolbarView().transform().ty, NTKeyboardAccessoryView::kHeight);
  ASSERT_TRUE(ui::Input::tap("Collapse"));
  ui::Input::settle();
  EXPECT_EQ(next->keyboardAccessory()->toolbarView().transform().ty, 0);
}

TEST_F(FormattingTest, APhotoIsScaledToTheTextWidthAndAnEmptyNoteSurvivesThePicker) {
  auto editor = editorWith("");
  auto note = editor->note();
  ASSERT_TRUE(ui::Input::tap("Photo"));
  auto picker = std::dynamic_pointer_cast<ui::ImagePickerController>(editor->presentedViewController());
  ASSERT_TRUE(picker) << ui::ScreenText::render();
  EXPECT_FALSE(note->isDeleted());  // the editor went off screen under the picker
  picker->pick(ui::Image::withBitmap(cg::Image::filled(1000, 500, cg::Rgba::black())));
  ui::Input::settle();

  auto& text = editor->noteContentTextView();
  ASSERT_EQ(text.attributedText().length(), 1u);
  auto attachment = text.attributedText().attributeAtIndex(ns::kAttachmentAttributeName, 0).as<ui::TextAttachment>();
  ASSERT_TRUE(attachment);
  double width = text.frame().width() - 30;
  auto size = attachment->imageSize();
  ASSERT_TRUE(size);
  EXPECT_NEAR(size->first, width, 1);  // the photo's scale is 1: a pixel a point
  EXPECT_NEAR(double(size->second) / size->first, 0.5, 0.01);
  EXPECT_TRUE(text.isEditing());
  EXPECT_EQ(text.selectedRange(), (ns::Range{1, 0}));

  // A narrow photo keeps its size.
  ASSERT_TRUE(ui::Input::tap("Photo"));
  picker = std::dynamic_pointer_cast<ui::ImagePickerController>(editor->presentedViewController());
  ASSERT_TRUE(picker);
  picker->pick(ui::Image::withBitmap(cg::Image::filled(40, 20, cg::Rgba::white())));
  ui::Input::settle();
  auto small = text.attributedText().attributeAtIndex(ns::kAttachmentAttributeName, 1).as<ui::TextAttachment>();
  ASSERT_TRUE(small);
  EXPECT_EQ(small->imageSize(), (std::pair<int, int>{40, 20}));
  EXPECT_EQ(text.selectedRange(), (ns::Range{2, 0}));
}

}  // namespace
