// The note editor's own rules: when it saves, when it deletes an empty
// note, read-only text with links, changes made elsewhere, paste, share.
#include <gtest/gtest.h>

#include "Notes/NTSettings.h"
#include "Notes/tests/editor_fixture.h"
#include "Platform/UIKit/ActivityViewController.h"
#include "Platform/UIKit/Pasteboard.h"
#include "Platform/UIKit/ScreenText.h"

namespace {

using notes::testing::EditorTest;

TEST_F(EditorTest, AnEmptiedNoteChangedElsewhereWhileBeingRetypedIsKept) {
  auto note = firstNote();
  auto editor = openEditor(note);
  ASSERT_TRUE(ui::Input::tap("NoteText"));
  editor->noteContentTextView().selectAll();
  ui::Input::deleteBackward();
  ASSERT_EQ(editor->noteContentTextView().text(), "");

  // Another device changes the note while its text is cleared to retype.
  ns::AttributedString elsewhere("Changed on the tablet", NTSettings::noteTextAttributes());
  note->setText(&elsewhere);
  NTData::saveContext(context());
  ui::Input::settle();
  EXPECT_FALSE(note->isDeleted());
  EXPECT_EQ(NTData::countTotalNotes(context()), 1u);
  EXPECT_EQ(storedTexts(), std::vector<std::string>{"Changed on the tablet"});

  // What is typed next wins over the change on the next turn after it.
  ui::Input::type("Retyped");
  note->setText(&elsewhere);
  NTData::saveContext(context());
  ui::Input::settle();
  EXPECT_EQ(storedTexts(), std::vector<std::string>{"Retyped"});
  EXPECT_EQ(editor->noteContentTextView().text(), "Retyped");

  // Left empty, it goes.
  editor->noteContentTextView().selectAll();
  ui::Input::deleteBackward();
  ui::Input::goBack();
  EXPECT_EQ(NTData::countTotalNotes(context()), 0u);
}

TEST_F(EditorTest, ChangesElsewhereReloadAnEditorThatIsNotEditingAndADeletionClearsIt) {
  auto note = firstNote();
  auto editor = openEditor(note);
  ns::AttributedString elsewhere("From the phone", NTSettings::noteTextAttributes());
  note->setText(&elsewhere);
  NTData::saveContext(context());
  EXPECT_EQ(editor->noteContentTextView().text(), "From the phone");

  NTData::deleteNote(context(), note);
  NTData::saveContext(context());
  ui::Input::settle();
  EXPECT_FALSE(editor->note());
  EXPECT_EQ(editor->noteContentTextView().text(), "");
  EXPECT_FALSE(editor->noteContentTextView().isEditable());
  for (const auto& item : editor->navigationItem().rightBarButtonItems()) EXPECT_FALSE(item->isEnabled());
}

TEST_F(EditorTest, EveryThirtiethChangeSavesWithoutDeleting) {
  auto note = firstNote();
  auto editor = openEditor(note);
  ASSERT_TRUE(ui::Input::tap("NoteText"));
  auto& text = editor->noteContentTextView();
  text.selectAll();
  ui::Input::deleteBackward();  // change 1: empty, and not deleted at 30
  for (int i = 2; i < 30; ++i) ui::Input::type("a");
  EXPECT_EQ(storedTexts(), std::vector<std::string>{notes::testing::kFirstNote});  // 29 changes
  ui::Input::type("b");
  EXPECT_EQ(storedTexts(), std::vector<std::string>{std::string(28, 'a') + "b"});
  for (int i = 31; i < 60; ++i) ui::Input::deleteBackward();
  EXPECT_EQ(text.text(), "");
  ui::Input::deleteBackward();  // the 60th change, on an empty text
  EXPECT_EQ(NTData::countTotalNotes(context()), 1u);
  EXPECT_EQ(storedTexts(), std::vector<std::string>{std::string(28, 'a') + "b"});
}

TEST_F(EditorTest, AFormatChangeAloneStampsTheNote) {
  auto note = firstNote();
  auto stamp = note->timeStamp();
  auto editor = openEditor(note);
  ASSERT_TRUE(ui::Input::tap("NoteText"));
  auto& text = editor->noteContentTextView();
  text.setSelectedRange(ns::Range{0, 4});
  ui::Input::advance(60);
  editor->didTapBold();
  ui::Input::goBack();
  EXPECT_GT(*note->timeStamp(), *stamp);
  auto font = note->text()->attributeAtIndex(ns::kFontAttributeName, 0).as<ui::Font>();
  ASSERT_TRUE(font);
  EXPECT_TRUE(font->isBold());
}

TEST_F(EditorTest, TextWithALinkOrPhoneNumberOpensReadOnlyUnlessTheSettingIsOff) {
  auto note = firstNote();
  struct Case {
    const char* text;
    bool detectors;
    bool readOnly;
  };
  const Case cases[] = {
      {"See https://example.org", true, true},
      {"Call 555 123 4567", true, true},
      {"Call 555 123 4567", false, false},
      {"Nothing to follow here", true, false},
  };
  for (const auto& c : cases) {
    NTSettings::userDefaults()->setBool(c.detectors, NTSettings::kUseDataDetectorsKey);
    ns::AttributedString text(c.text, NTSettings::noteTextAttributes());
    note->setText(&text);
    auto editor = openEditor(note);
    EXPECT_EQ(editor->noteContentTextView().isEditable(), !c.readOnly) << c.text;
    // One tap makes it editable and raises the keyboard.
    ASSERT_TRUE(ui::Input::tap("NoteText"));
    EXPECT_TRUE(editor->noteContentTextView().isEditing()) << c.text;
    ui::Input::goBack();
  }
}

TEST_F(EditorTest, PastingInsertsOnlyPlainTextInTheNotesFormat) {
  auto editor = openEditor(nullptr);
  auto& text = editor->noteContentTextView();
  auto& pasteboard = ui::Pasteboard::general();
  // An image alone brings nothing.
  pasteboard.setImage(ui::Image::withBitmap(cg::Image::filled(4, 4, cg::Rgba::black())));
  text.paste();
  EXPECT_EQ(text.attributedText().length(), 0u);

  pasteboard.setString("plain words");
  text.paste();
  EXPECT_EQ(text.text(), "plain words");
  EXPECT_EQ(text.attributedText().attributeAtIndex(ns::kFontAttributeName, 0),
            NTSettings::noteTextAttributes().at(ns::kFontAttributeName));
}

TEST_F(EditorTest, ShareSavesFirstAndOffersShareAsImage) {
  auto note = firstNote();
  auto editor = openEditor(note);
  ASSERT_TRUE(ui::Input::tap("NoteText"));
  ui::Input::type(" Shared.");
  ASSERT_TRUE(ui::Input::pressBarButton("Done"));
  editor->didTapShare();
  ui::Input::settle();
  EXPECT_TRUE(storedTexts()[0].ends_with("Shared."));
  auto sheet = std::dynamic_pointer_cast<ui::ActivityViewController>(editor->presentedViewController());
  ASSERT_TRUE(sheet) << ui::ScreenText::render();
  EXPECT_EQ(sheet->activityTitles(), (std::vector<std::string>{"Copy", "Print", "Share as Image"}));
}

TEST_F(EditorTest, DeleteAsksAndGoesBackToTheList) {
  auto editor = openEditor(firstNote());
  size_t depth = master()->viewControllers().size();
  ASSERT_TRUE(ui::Input::tap("Trash"));
  ASSERT_TRUE(ui::Input::tap("Cancel"));
  EXPECT_EQ(NTData::countTotalNotes(context()), 1u);
  ASSERT_TRUE(ui::Input::tap("Trash"));
  ASSERT_TRUE(ui::Input::tap("Delete Note"));
  EXPECT_EQ(NTData::countTotalNotes(context()), 0u);
  EXPECT_EQ(master()->viewControllers().size(), depth - 1);
}

TEST_F(EditorTest, PreviewActionsShareRemindAndDeleteAfterAsking) {
  auto editor = openEditor(firstNote());
  auto actions = editor->previewActionItems();
  std::vector<std::string> titles;
  for (const auto& a : actions) titles.push_back(a.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"Share", "Reminder", "Delete Note"}));
  EXPECT_EQ(actions[2].style, ui::AlertActionStyle::Destructive);
  actions[2].handler();
  ui::Input::settle();
  ASSERT_TRUE(ui::Input::tap("Cancel"));
  EXPECT_EQ(NTData::countTotalNotes(context()), 1u);
  actions[2].handler();
  ui::Input::settle();
  ASSERT_TRUE(ui::Input::tap("Delete Note"));
  EXPECT_EQ(NTData::countTotalNotes(context()), 0u);
  EXPECT_FALSE(editor->note());
}

}  // namespace
