// The notes list in the launched app: on a pad the row of the note the
// editor shows stays selected as the list changes and after editing; on a
// phone the move picker returns to the list inside the split view.
#include <gtest/gtest.h>

#include "Notes/DetailViewController.h"
#include "Notes/FoldersViewController.h"
#include "Notes/NotesViewController.h"
#include "Notes/NTSettings.h"
#include "Notes/tests/launch_fixture.h"
#include "Platform/UIKit/ScreenText.h"

namespace {

using notes::testing::LaunchTest;
using notes::testing::PadLaunchTest;

std::shared_ptr<NTNote> addNoteTo(cd::ManagedObjectContext& context, const std::shared_ptr<NTFolder>& folder,
                                  size_t index, const std::string& text) {
  auto note = NTData::insertNewNoteAtIndex(context, index, folder);
  ns::AttributedString rich(text);
  note->setText(&rich);
  return note;
}

class PhoneNotesList : public LaunchTest {};

TEST_F(PhoneNotesList, MovingANoteFromTheAppsListReturnsToThatList) {
  NTSettings::userDefaults()->setInteger(2, NTSettings::kNotesSortOrderKey);
  launch();
  auto notes = NTData::defaultFolder(context());
  ASSERT_TRUE(notes);
  auto trips = NTData::insertNewFolderAtIndex(context(), 1);
  trips->setTitle("Trips");
  addNoteTo(context(), notes, 0, "Packing");
  ASSERT_TRUE(NTData::saveContext(context()));
  auto* folders = FoldersViewController::instance();
  ASSERT_TRUE(folders);
  folders->showFolder(notes, false);
  ui::Input::settle();
  auto list = folders->notesViewController();
  ASSERT_TRUE(list);
  window_->layoutIfNeeded();

  ASSERT_TRUE(ui::Input::swipeRow("Packing", "Move")) << ui::Input::lastFailure();
  window_->layoutIfNeeded();
  ASSERT_TRUE(ui::Input::tap("Trips")) << ui::Input::lastFailure();
  window_->layoutIfNeeded();
  EXPECT_FALSE(window_->rootViewController()->presentedViewController());
  EXPECT_EQ(list->tableView().numberOfRows(0), int(notes->notes().size()));
  EXPECT_EQ(trips->notes().size(), 1u);
  EXPECT_EQ(ui::ScreenText::render().find("Packing"), std::string::npos) << ui::ScreenText::render();
}

class PadNotesList : public PadLaunchTest {
 protected:
  std::shared_ptr<NTNote> addNote(const std::shared_ptr<NTFolder>& folder, size_t index, const std::string& text) {
    auto note = NTData::insertNewNoteAtIndex(context(), index, folder);
    ns::AttributedString rich(text);
    note->setText(&rich);
    return note;
  }
  std::optional<ui::IndexPath> selectedRow(NotesViewController& list) {
    return list.tableView().indexPathForSelectedRow();
  }
};

TEST_F(PadNotesList, TheEditorsNoteStaysSelectedAsTheListChanges) {
  NTSettings::userDefaults()->setInteger(2, NTSettings::kNotesSortOrderKey);
  launch();
  auto folder = NTData::defaultFolder(context());
  ASSERT_TRUE(folder);
  size_t count = folder->notes().size();
  addNote(folder, count, "Second");
  auto third = addNote(folder, count + 1, "Third");
  ASSERT_TRUE(NTData::saveContext(context()));

  auto* folders = FoldersViewController::instance();
  ASSERT_TRUE(folders);
  folders->showFolder(folder, false);
  ui::Input::settle();
  auto list = folders->notesViewController();
  ASSERT_TRUE(list);
  list->showNote(third, true);
  ui::Input::settle();
  auto editor = folders->detailViewController();
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note(), third);
  EXPECT_EQ(selectedRow(*list), (ui::IndexPath{0, int(count) + 1}));

  // The editor's note moved to the top elsewhere: the selection follows it.
  NTData::moveNote(context(), third, 0, nullptr);
  ASSERT_TRUE(NTData::saveContext(context()));
  ui::Input::settle();
  EXPECT_EQ(selectedRow(*list), (ui::IndexPath{0, 0}));
  // A note added above moves it down with the editor's note.
  addNote(folder, 0, "Above");
  ASSERT_TRUE(NTData::saveContext(context()));
  ui::Input::settle();
  EXPECT_EQ(selectedRow(*list), (ui::IndexPath{0, 1}));

  // Editing ends with the editor's note selected again.
  list->setEditing(true, false);
  list->tableView().deselectRow({0, 1}, false);
  list->setEditing(false, false);
  EXPECT_EQ(selectedRow(*list), (ui::IndexPath{0, 1}));
}

}  // namespace
