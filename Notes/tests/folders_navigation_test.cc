// The folder list as the app's navigation hub: opening folders, notes and
// new notes, the selection kept across launches, reminders that open notes.
#include <gtest/gtest.h>

#include <algorithm>

#include "Notes/tests/folders_test_support.h"
#include "Platform/UIKit/Input.h"

namespace {

using notes::testing::FoldersScreenTest;
using ui::Input;
using Strings = std::vector<std::string>;

TEST_F(FoldersScreenTest, OpensFoldersNotesAndNewNotes) {
  auto work = addFolder("Work", 2);
  auto home = addFolder("Home", 1);
  save();
  open();

  // All Notes is a list without a folder.
  ASSERT_TRUE(Input::tap("All Notes"));
  auto notes = folders_->notesViewController();
  ASSERT_TRUE(notes);
  EXPECT_EQ(notes->folder(), nullptr);

  // A note is opened in All Notes without switching the list.
  auto homeNote = home->notes().at(0);
  folders_->showNote(homeNote, false);
  Input::settle();
  EXPECT_EQ(folders_->notesViewController(), notes);
  auto editor = std::dynamic_pointer_cast<DetailViewController>(top());
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note(), homeNote);

  // A folder's list switches to the note's folder.
  folders_->showFolder(work, false);
  Input::settle();
  ASSERT_TRUE(folders_->notesViewController());
  EXPECT_EQ(folders_->notesViewController()->folder(), work);
  folders_->showNote(homeNote, false);
  Input::settle();
  EXPECT_EQ(folders_->notesViewController()->folder(), home);
  editor = std::dynamic_pointer_cast<DetailViewController>(top());
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note(), homeNote);

  // Opening the folder already shown changes nothing.
  auto shown = folders_->notesViewController();
  folders_->showFolder(home, true);
  Input::settle();
  EXPECT_EQ(top(), editor);

  // A new note without a folder goes into the folder of the editor on top.
  folders_->insertNewNoteToFolder(nullptr, false);
  Input::settle();
  EXPECT_EQ(home->notes().size(), 2u);
  editor = std::dynamic_pointer_cast<DetailViewController>(top());
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note()->folder(), home);
  EXPECT_EQ(editor->note()->displayOrder(), 0);

  // ... and from the folder list itself into the default (first) folder.
  Input::goBack();
  Input::goBack();
  ASSERT_EQ(top(), folders_);
  folders_->insertNewNoteToFolder(nullptr, false);
  Input::settle();
  editor = std::dynamic_pointer_cast<DetailViewController>(top());
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note()->folder(), work);

  folders_->showNote(nullptr, false);  // nothing
  EXPECT_EQ(top(), editor);
}

TEST_F(FoldersScreenTest, SavedSelectionRestoresOnlyWhatStillExists) {
  addFolder("Work", 3);
  addFolder("Home", 2);
  save();
  struct Case {
    const char* name;
    ns::Array stored;
    std::string folder;  // "" nothing opened, "*" All Notes
    std::string note;    // "" no note opened
  };
  const std::vector<Case> cases = {
      {"nothing stored", {}, "", ""},
      {"second folder", {ns::Value(1)}, "Home", ""},
      {"first number equal to the folder count", {ns::Value(2)}, "", ""},
      {"beyond the folders", {ns::Value(7), ns::Value(0)}, "", ""},
      {"folder and note", {ns::Value(0), ns::Value(1)}, "Work", "Work 2"},
      {"note beyond the list", {ns::Value(0), ns::Value(3)}, "Work", ""},
      {"All Notes", {ns::Value(-1)}, "*", ""},
      {"All Notes and a note of the second folder", {ns::Value(-1), ns::Value(4)}, "*", "Home 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NTSettings::userDefaults()->setObject(ns::Value(c.stored), FoldersViewController::kSelectedIndexesKey);
    open();
    auto notes = folders_->notesViewController();
    if (c.folder.empty()) {
      EXPECT_FALSE(notes);
      EXPECT_EQ(top(), folders_);
      continue;
    }
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->folder() ? *notes->folder()->title() : "*", c.folder);
    auto editor = std::dynamic_pointer_cast<DetailViewController>(top());
    if (c.note.empty()) {
      EXPECT_EQ(top(), notes);
    } else {
      ASSERT_TRUE(editor);
      EXPECT_EQ(editor->note()->title(), c.note);
    }
  }
}

TEST_F(FoldersScreenTest, GoingToTheBackgroundSavesWhatIsOpenForTheNextLaunch) {
  auto work = addFolder("Work", 3);
  auto home = addFolder("Home", 2);
  save();
  open();
  auto stored = [] { return NTSettings::userDefaults()->arrayForKey(FoldersViewController::kSelectedIndexesKey); };

  Input::background();
  ASSERT_TRUE(stored());
  EXPECT_TRUE(stored()->empty());
  Input::foreground();

  // The second note of Home, opened in All Notes: counted across the sections.
  ASSERT_TRUE(Input::tap("All Notes"));
  ASSERT_TRUE(Input::tap("Home 2"));
  Input::background();
  EXPECT_EQ(*stored(), (ns::Array{ns::Value(-1), ns::Value(4)}));
  Input::foreground();

  // Returning to the foreground reloads the list; what is open stays marked.
  Input::background();
  EXPECT_EQ(*stored(), (ns::Array{ns::Value(-1), ns::Value(4)}));
  Input::foreground();

  Input::goBack();
  Input::goBack();
  ASSERT_TRUE(Input::tap("Work"));
  ASSERT_TRUE(Input::tap("Work 2"));
  Input::background();
  EXPECT_EQ(*stored(), (ns::Array{ns::Value(0), ns::Value(1)}));
  Input::foreground();

  // A relaunch opens the same note.
  open();
  auto editor = std::dynamic_pointer_cast<DetailViewController>(top());
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note()->title(), "Work 2");
  EXPECT_EQ(editor->note()->folder(), work);
  (void)home;
}

TEST_F(FoldersScreenTest, TappedReminderOpensItsNote) {
  auto home = addFolder("Home", 2);
  save();
  open();
  auto note = home->notes().at(1);
  // The reminder's own request, as the store schedules it.
  note->setReminderDate(ns::Date::now().addingTimeInterval(60));
  save();
  auto request = AppDelegate::reminderRequestForNote(*note);
  un::NotificationResponse response;
  response.notification.request = request;
  bool completed = false;
  app_->didReceiveNotificationResponse(*un::UserNotificationCenter::currentNotificationCenter(), response,
                                       [&] { completed = true; });
  Input::settle();
  EXPECT_TRUE(completed);
  auto editor = std::dynamic_pointer_cast<DetailViewController>(top());
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note(), note);
  EXPECT_EQ(note->reminderDate(), std::nullopt);
}

TEST_F(FoldersScreenTest, FirmPressPreviewsAFoldersNotesList) {
  auto work = addFolder("Work", 2);
  addFolder("Home");
  save();
  open();
  auto preview = std::dynamic_pointer_cast<NotesViewController>(Input::peek("Work"));
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->folder(), work);
  EXPECT_EQ(top(), folders_);  // a peek opens nothing
  auto all = std::dynamic_pointer_cast<NotesViewController>(Input::peek("All Notes"));
  ASSERT_TRUE(all);
  EXPECT_EQ(all->folder(), nullptr);

  ASSERT_TRUE(Input::pop("Work"));
  auto opened = std::dynamic_pointer_cast<NotesViewController>(top());
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->folder(), work);
  EXPECT_TRUE(onScreen("\"Work 1\""));
}

class FoldersPadTest : public FoldersScreenTest {
 protected:
  FoldersPadTest() : FoldersScreenTest(ns::UserInterfaceIdiom::Pad) {}
};

TEST_F(FoldersPadTest, TheEditorSidesWithTheListAndKeepsItsNoteBeforeTheSettings) {
  auto work = addFolder("Work", 2);
  save();
  open();
  EXPECT_EQ(folders_->preferredContentSize().width, 320);
  EXPECT_EQ(folders_->preferredContentSize().height, 600);

  auto note = NTData::fetchSortedNotesInFolder(ctx(), work).at(1);
  folders_->showNote(note, false);
  Input::settle();
  auto editor = folders_->detailViewController();
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note(), note);
  // The master side stays on the notes list; the editor is beside it.
  EXPECT_TRUE(std::dynamic_pointer_cast<NotesViewController>(top()));

  // A new note without a folder goes to the folder of the list on top.
  folders_->insertNewNoteToFolder(nullptr, false);
  Input::settle();
  EXPECT_EQ(work->notes().size(), 3u);
  ASSERT_TRUE(folders_->detailViewController());
  EXPECT_EQ(folders_->detailViewController()->note()->folder(), work);
  EXPECT_EQ(folders_->detailViewController()->note()->displayOrder(), 0);

  // Typed text reaches the store before the settings open.
  folders_->showNote(note, false);
  Input::settle();
  ASSERT_TRUE(folders_->detailViewController());
  ASSERT_TRUE(Input::tapView(folders_->detailViewController()->noteContentTextView()));
  ASSERT_TRUE(Input::type(" and more"));
  Input::goBack();
  ASSERT_TRUE(Input::pressBarButton("Settings"));
  ASSERT_TRUE(folders_->presentedViewController());
  notes::testing::StoreStack reader(device().device().documentsDirectory() + "/Notes.sqlite");
  Strings stored;
  for (const auto& n : NTData::fetchSortedNotesInFolder(*reader.context, nullptr)) stored.push_back(n->string().value_or(""));
  EXPECT_NE(std::find(stored.begin(), stored.end(), "Work 2 and more"), stored.end());
}

}  // namespace
