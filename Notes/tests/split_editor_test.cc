// The editor on the detail side, as far as the lists rely on it: the text
// shown, what is typed written back, empty notes, new notes on a phone.
#include <gtest/gtest.h>

#include "Notes/ClassNameTransformer.h"
#include "Notes/DetailViewController.h"
#include "Notes/NTSettings.h"
#include "Notes/SplitViewController.h"
#include "Notes/tests/editor_fixture.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/ScreenText.h"

namespace {

using notes::testing::EditorTest;

TEST_F(EditorTest, ShowsTheNoteAndWritesWhatIsTypedBackWhenLeaving) {
  auto note = firstNote();
  auto stamp = note->timeStamp();
  auto editor = openEditor(note);
  EXPECT_NE(ui::ScreenText::render().find("This is your first note."), std::string::npos) << ui::ScreenText::render();

  // Leaving without a change keeps the time stamp.
  ui::Input::advance(60);
  ui::Input::goBack();
  EXPECT_EQ(note->timeStamp(), stamp);

  openEditor(note);
  ASSERT_TRUE(ui::Input::tap("NoteText"));
  ui::Input::type(" Edited.");
  ui::Input::goBack();
  EXPECT_TRUE(note->string()->ends_with("Edited."));
  EXPECT_GT(*note->timeStamp(), *stamp);
  ASSERT_EQ(storedTexts().size(), 1u);
  EXPECT_TRUE(storedTexts()[0].ends_with("Edited."));
  // Stored in the note's own colour, not the label colour of the screen.
  auto attributes = NTSettings::noteTextAttributes();
  EXPECT_EQ(note->text()->attributeAtIndex(ns::kForegroundColorAttributeName, 0),
            attributes.at(ns::kForegroundColorAttributeName));
}

TEST_F(EditorTest, PhoneEditorWithoutNoteCreatesOneAndDropsItWhenLeftEmpty) {
  auto editor = openEditor(nullptr);
  ASSERT_TRUE(editor->note());
  EXPECT_EQ(editor->note()->folder(), NTData::defaultFolder(context()));
  EXPECT_EQ(NTData::fetchSortedNotesInFolder(context(), editor->folder())[0], editor->note());
  EXPECT_TRUE(editor->noteContentTextView().isFirstResponder());  // the keyboard is up
  EXPECT_EQ(SplitViewController::instance()->floatingAddButtonView()->alpha(), 0);

  ui::Input::goBack();
  EXPECT_EQ(NTData::countTotalNotes(context()), 1u);
  EXPECT_EQ(storedTexts().size(), 1u);
  EXPECT_FLOAT_EQ(SplitViewController::instance()->floatingAddButtonView()->alpha(), 0.8f);
}

TEST_F(EditorTest, ErasedTextIsKeptWhenTheAppGoesToTheBackground) {
  auto note = firstNote();
  auto editor = openEditor(note);
  ui::Input::tap("NoteText");
  editor->noteContentTextView().setText("");
  ui::Input::background();
  EXPECT_EQ(storedTexts(), std::vector<std::string>{notes::testing::kFirstNote});
  ui::Input::foreground();
  // Typing then going to the background writes without leaving.
  editor->noteContentTextView().setText("Typed before the call");
  ui::Input::background();
  EXPECT_EQ(storedTexts(), std::vector<std::string>{"Typed before the call"});
}

TEST_F(EditorTest, TypedTextIsStoredWhenTheAppTerminates) {
  auto editor = openEditor(firstNote());
  ui::Input::tap("NoteText");
  ui::Input::type(" Last words.");
  ui::Application::shared().terminate();  // nothing runs after this
  ASSERT_EQ(storedTexts().size(), 1u);
  EXPECT_TRUE(storedTexts()[0].ends_with("Last words.")) << storedTexts()[0];
}

TEST_F(EditorTest, DoneOnAnEmptyNoteDeletesItAndReturnsToTheList) {
  auto editor = openEditor(nullptr);
  size_t depth = master()->viewControllers().size();
  ASSERT_TRUE(ui::Input::pressBarButton("Done"));
  EXPECT_FALSE(editor->note());
  EXPECT_EQ(NTData::countTotalNotes(context()), 1u);
  EXPECT_EQ(master()->viewControllers().size(), depth - 1);
}

}  // namespace
