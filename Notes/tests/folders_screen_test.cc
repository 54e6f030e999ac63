// The folder list through the input layer, on a real store.
#include <gtest/gtest.h>

#include "Notes/NoteTableViewCell.h"
#include "Notes/tests/folders_test_support.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TextField.h"

namespace {

using notes::testing::FoldersScreenTest;
using notes::testing::StoreStack;
using ui::Input;
using Strings = std::vector<std::string>;

// The rows of the folder list as title and count.
Strings rows(FoldersViewController& folders) {
  Strings out;
  ui::TableView& table = folders.tableView();
  for (const auto& path : table.allIndexPaths()) {
    auto cell = std::dynamic_pointer_cast<NoteTableViewCell>(folders.cellForRow(table, path));
    out.push_back(cell->noteTitleLabel()->text() + " " + cell->noteDateLabel()->text());
  }
  return out;
}

std::shared_ptr<ui::AlertController> presentedAlert(ui::ViewController& from) {
  return std::dynamic_pointer_cast<ui::AlertController>(from.presentedViewController());
}

TEST_F(FoldersScreenTest, ListsAllNotesThenFoldersInOrderWithCounts) {
  addFolder("Work", 2);
  addFolder("Home", 1);
  addFolder("Empty");
  save();
  open();
  EXPECT_EQ(rows(*folders_), (Strings{"All Notes 3", "Work 2", "Home 1", "Empty 0"}));
  EXPECT_EQ(folders_->title(), "Folders");
  EXPECT_EQ(master().title(), "Notes");
  EXPECT_TRUE(onScreen("\"All Notes\""));
  EXPECT_TRUE(onScreen("[Settings]"));

  // Counts follow changes made elsewhere in the store.
  addNote(NTData::folderNamed(ctx(), "Empty"), "Fresh");
  save();
  Input::settle();
  EXPECT_EQ(rows(*folders_), (Strings{"All Notes 4", "Work 2", "Home 1", "Empty 1"}));
}

// A folder's count comes from the store: showing the list makes no note.
TEST_F(FoldersScreenTest, CountsComeFromTheStoreWithoutMakingNotes) {
  addFolder("Small", 2);
  save();
  {
    StoreStack writer(device().device().documentsDirectory() + "/Notes.sqlite");
    auto big = NTData::insertNewFolderAtIndex(*writer.context, 1);
    big->setTitle("Big");
    for (int i = 0; i < 300; ++i) {
      auto note = writer.context->insertNewObject<NTNote>(NTNote::kEntityName);
      note->setFolder(big);
      note->setDisplayOrder(i);
    }
    ASSERT_TRUE(NTData::saveContext(*writer.context));
  }
  const size_t before = ctx().registeredObjectCount();
  open();
  EXPECT_EQ(rows(*folders_), (Strings{"All Notes 302", "Small 2", "Big 300"}));
  EXPECT_LE(ctx().registeredObjectCount(), before + 1) << "only the new folder is made";
}

TEST_F(FoldersScreenTest, NewFolderNamedAsTypedGoesFirstAndEmptyNameCreatesNothing) {
  addFolder("Work");
  save();
  open();

  ASSERT_TRUE(Input::pressBarButton("Add"));
  auto alert = presentedAlert(*folders_);
  ASSERT_TRUE(alert);
  EXPECT_EQ(alert->title(), "New Folder");
  EXPECT_EQ(alert->message(), "Enter a name for this folder.");
  ASSERT_EQ(alert->textFields().size(), 1u);
  EXPECT_EQ(alert->textFields()[0]->placeholder(), "Name");
  ASSERT_TRUE(Input::tap("Save"));
  EXPECT_EQ(storedFolders(), (Strings{"Work"}));
  // The person learns why nothing was made.
  EXPECT_TRUE(onScreen("No folder was made: a folder needs a name that is more than spaces."));
  ASSERT_TRUE(Input::tap("OK"));
  EXPECT_FALSE(folders_->presentedViewController());

  ASSERT_TRUE(Input::pressBarButton("Add"));
  ASSERT_TRUE(Input::tap("Name"));
  ASSERT_TRUE(Input::type("  Recipes "));
  ASSERT_TRUE(Input::tap("Save"));
  EXPECT_EQ(storedFolders(), (Strings{"  Recipes ", "Work"}));
  EXPECT_EQ(rows(*folders_), (Strings{"All Notes 0", "  Recipes  0", "Work 0"}));

  // The tip about the default folder comes 0.6 s later, over the list.
  const std::string tip = "Tip: \"First folder is the default one.";
  EXPECT_FALSE(onScreen(tip));
  advance(0.6);
  EXPECT_TRUE(onScreen(tip + "\n")) << screen();
  EXPECT_TRUE(onScreen("Tap \"Edit\" above to reorder folders.\"")) << screen();
  auto defaults = ns::UserDefaults::standardUserDefaults();
  EXPECT_EQ(defaults->integerForKey("com.tavrix.viewsCount.tipFirstFolderDefault"), 1);
  EXPECT_TRUE(TXKit::showedMessageID("tipFirstFolderDefault"));
  EXPECT_TRUE(TXKit::sharedInstance().isShowingMessage());

  // The next touch, on "Add", takes the tip away and still adds a folder.
  ASSERT_TRUE(Input::pressBarButton("Add"));
  EXPECT_FALSE(onScreen(tip));
  EXPECT_FALSE(TXKit::sharedInstance().isShowingMessage());
  ASSERT_TRUE(presentedAlert(*folders_));
  ASSERT_TRUE(Input::tap("Cancel"));
  EXPECT_EQ(storedFolders(), (Strings{"  Recipes ", "Work"}));
}

TEST_F(FoldersScreenTest, LastFolderCannotBeDeletedAndEditingEnds) {
  addFolder("Only", 2);
  save();
  open();
  ASSERT_TRUE(Input::pressBarButton("Edit"));
  ASSERT_TRUE(folders_->isEditing());
  ASSERT_TRUE(Input::swipeRow("Only", "Delete"));
  auto alert = presentedAlert(*folders_);
  ASSERT_TRUE(alert);
  EXPECT_EQ(alert->title(), "Can't delete last folder");
  EXPECT_EQ(alert->message(), "");
  EXPECT_FALSE(folders_->isEditing());
  ASSERT_TRUE(Input::tap("OK"));
  EXPECT_EQ(storedFolders(), (Strings{"Only"}));
  EXPECT_EQ(storedNotes(), 2u);
  // All Notes is not a folder: it offers no delete.
  EXPECT_FALSE(Input::swipeRow("All Notes", "Delete"));
}

TEST_F(FoldersScreenTest, EmptyFolderGoesAtOnceAFullOneAfterConfirming) {
  addFolder("Work", 3);
  addFolder("Empty");
  addFolder("Home", 1);
  save();
  open();
  ASSERT_TRUE(Input::pressBarButton("Edit"));

  ASSERT_TRUE(Input::swipeRow("Empty", "Delete"));
  EXPECT_FALSE(folders_->presentedViewController());
  EXPECT_EQ(storedFolders(), (Strings{"Work", "Home"}));
  EXPECT_EQ(rows(*folders_), (Strings{"All Notes 4", "Work 3", "Home 1"}));

  ASSERT_TRUE(Input::swipeRow("Work", "Delete"));
  auto sheet = presentedAlert(*folders_);
  ASSERT_TRUE(sheet);
  EXPECT_EQ(sheet->preferredStyle(), ui::AlertControllerStyle::ActionSheet);
  EXPECT_EQ(sheet->title(), "3 notes in folder \"Work\" will also be deleted");
  EXPECT_EQ(sheet->message(), "Are you sure?");
  ASSERT_TRUE(Input::tap("Cancel"));
  EXPECT_EQ(storedFolders(), (Strings{"Work", "Home"}));

  ASSERT_TRUE(Input::swipeRow("Work", "Delete"));
  ASSERT_TRUE(Input::tap("Delete"));
  EXPECT_EQ(storedFolders(), (Strings{"Home"}));
  EXPECT_EQ(storedNotes(), 1u);
  EXPECT_EQ(rows(*folders_), (Strings{"All Notes 1", "Home 1"}));
}

TEST_F(FoldersScreenTest, DraggedFoldersKeepAllNotesOnTop) {
  addFolder("A");
  addFolder("B");
  addFolder("C");
  save();
  open();
  ASSERT_TRUE(Input::pressBarButton("Edit"));
  ui::TableView& table = folders_->tableView();
  EXPECT_FALSE(table.userMoveRow(ui::IndexPath::forRow(0, 0), ui::IndexPath::forRow(1, 1)));

  // Dropped above All Notes: lands as the first folder.
  ASSERT_TRUE(table.userMoveRow(ui::IndexPath::forRow(2, 1), ui::IndexPath::forRow(0, 0)));
  Input::settle();
  EXPECT_EQ(storedFolders(), (Strings{"C", "A", "B"}));
  EXPECT_EQ(rows(*folders_), (Strings{"All Notes 0", "C 0", "A 0", "B 0"}));

  ASSERT_TRUE(table.userMoveRow(ui::IndexPath::forRow(0, 1), ui::IndexPath::forRow(2, 1)));
  Input::settle();
  EXPECT_EQ(storedFolders(), (Strings{"A", "B", "C"}));
  EXPECT_EQ(rows(*folders_), (Strings{"All Notes 0", "A 0", "B 0", "C 0"}));
  auto reread = NTData::fetchSortedFolders(ctx());
  EXPECT_EQ(notes::testing::ordersOf(reread), (std::vector<int>{0, 1, 2}));
}

TEST_F(FoldersScreenTest, TappingWhileEditingRenamesFoldersOnly) {
  addFolder("Work", 1);
  addFolder("Home");
  save();
  open();
  ASSERT_TRUE(Input::pressBarButton("Edit"));

  ASSERT_TRUE(Input::tap("All Notes"));
  EXPECT_FALSE(folders_->presentedViewController());
  EXPECT_EQ(top(), folders_);
  EXPECT_FALSE(folders_->tableView().indexPathForSelectedRow());

  ASSERT_TRUE(Input::tap("Work"));
  EXPECT_EQ(top(), folders_);
  auto alert = presentedAlert(*folders_);
  ASSERT_TRUE(alert);
  EXPECT_EQ(alert->title(), "Rename Folder");
  EXPECT_EQ(alert->message(), "Enter a new name for this folder.");
  EXPECT_EQ(alert->textFields()[0]->text(), "Work");
  alert->textFields()[0]->setText("Office");
  ASSERT_TRUE(Input::tap("Save"));
  EXPECT_EQ(storedFolders(), (Strings{"Office", "Home"}));
  EXPECT_TRUE(onScreen("\"Office\""));

  ASSERT_TRUE(Input::tap("Home"));
  presentedAlert(*folders_)->textFields()[0]->setText("");
  ASSERT_TRUE(Input::tap("Save"));
  EXPECT_EQ(storedFolders(), (Strings{"Office", "Home"}));
  EXPECT_TRUE(onScreen("The folder keeps its name: a folder needs a name that is more than spaces."));
  ASSERT_TRUE(Input::tap("OK"));

  // Out of editing a tap opens the folder.
  ASSERT_TRUE(Input::pressBarButton("Done"));
  ASSERT_TRUE(Input::tap("Office"));
  auto notes = std::dynamic_pointer_cast<NotesViewController>(top());
  ASSERT_TRUE(notes);
  EXPECT_EQ(notes->folder(), NTData::folderNamed(ctx(), "Office"));
}

TEST_F(FoldersScreenTest, SettingsVisitAndTheBadgeReset) {
  addFolder("Work");
  save();
  NTSettings::userDefaults()->setBool(true, FoldersViewController::kHideSettingsBadgeKey);
  open();
  ASSERT_TRUE(Input::pressBarButton("Settings"));
  EXPECT_TRUE(onScreen("Settings"));
  ASSERT_TRUE(folders_->presentedViewController());
  ASSERT_TRUE(Input::pressBarButton("Done"));
  EXPECT_FALSE(folders_->presentedViewController());
  EXPECT_EQ(top(), folders_);

  // A new reset date in the configuration shows the badge again once there
  // is one to show: the flag is cleared on becoming active.
  TXConfig::sharedInstance().setValue("app", "settingsBadgeReset", ns::Value(ns::Date(900000000.0)));
  Input::background();
  Input::foreground();
  EXPECT_FALSE(NTSettings::userDefaults()->boolForKey(FoldersViewController::kHideSettingsBadgeKey));
  // No app of the maker's list carries a badge: nothing shows.
  EXPECT_FALSE(folders_->showingSettingsBadge());
  EXPECT_FALSE(folders_->navigationItem().backBarButtonItem());

  // While editing no segue runs, the settings' included.
  ASSERT_TRUE(Input::pressBarButton("Edit"));
  Input::pressBarButton("Settings");
  EXPECT_FALSE(folders_->presentedViewController());
}

}  // namespace
