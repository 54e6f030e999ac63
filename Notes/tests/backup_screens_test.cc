// The backup screens on the launched app: the texts of a backup's size and
// age, the list (back up now with whole turns of the button, deleting the
// last backup), the details' summary, a damaged file opened from outside,
// the preview's checkmarks, and restoring (into folders of the same title
// or new ones, keeping dates, all or nothing).
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>
#include <fstream>

#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Notes/BackupNoteTableViewCell.h"
#include "Notes/BackupRestore.h"
#include "Notes/BackupTexts.h"
#include "Notes/NTBackup.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/SettingsBackupPreviewViewController.h"
#include "Notes/SettingsBackupViewController.h"
#include "Notes/SettingsBackupsViewController.h"
#include "Notes/tests/launch_fixture.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Calendar.h"
#include "Platform/Graphics/testing/Pictures.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/ScreenText.h"

namespace {

using notes::testing::execOnStore;

using ui::Input;
using Folders = NTBackupsManager::Folders;

ns::AttributedString text(const std::string& s) { return ns::AttributedString(s); }

// A date `days` calendar days before today, at noon.
ns::Date daysAgoAtNoon(int days) {
  ns::Date today = ns::Calendar::current().startOfDay(ns::Date::now());
  return today.addingTimeInterval(12 * 3600.0 - 86400.0 * days);
}

// Every row of the store's folders and notes as text, read by a second
// connection: what is on disk.
std::string storeRows(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return "cannot open";
  std::string out;
  for (const char* sql : {"SELECT title, displayOrder FROM Folder ORDER BY _pk",
                          "SELECT string, displayOrder, timeStamp, folder FROM Note ORDER BY _pk"}) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        const unsigned char* v = sqlite3_column_text(stmt, c);
        out += (v ? reinterpret_cast<const char*>(v) : "null") + std::string(c + 1 < sqlite3_column_count(stmt) ? "|" : "\n");
      }
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return out;
}

class BackupScreensTest : public notes::testing::LaunchTest {
 protected:
  ~BackupScreensTest() override { TXUIManager::sharedInstance().reset(); }

  static std::string screen() { return ui::ScreenText::render(); }
  static bool shows(const std::string& s) { return screen().find(s) != std::string::npos; }

  // Launches and opens the backup list from the settings.
  void openBackupList() {
    launch();
    ASSERT_TRUE(Input::goBack()) << Input::lastFailure();
    ASSERT_TRUE(Input::tap("Settings")) << Input::lastFailure();
    ASSERT_TRUE(Input::tap("Last Backup")) << Input::lastFailure() << screen();
    ASSERT_TRUE(list()) << screen();
  }
  std::shared_ptr<SettingsBackupsViewController> list() {
    for (auto* vc = TXUIManager::topmostViewController().get(); vc; vc = vc->presentingViewController())
      if (auto* nav = dynamic_cast<ui::NavigationController*>(vc))
        for (const auto& child : nav->viewControllers())
          if (auto l = std::dynamic_pointer_cast<SettingsBackupsViewController>(child)) return l;
    return nullptr;
  }
  // A file named as the writer names a backup made `daysAgo` days ago.
  static void makeBackupFile(int daysAgo, bool automatic) {
    std::ofstream(NTBackupsManager::backupsPath() + "/" + NTBackup::backupNameForDate(daysAgoAtNoon(daysAgo), automatic) +
                  ".quillbox")
        << "zip";
  }
  // The notes of the folder titled `title`, top first, as "text@date".
  std::vector<std::string> notesIn(const std::string& title) {
    std::vector<std::string> out;
    auto folder = NTData::folderNamed(context(), title);
    if (!folder) return out;
    for (const auto& note : NTData::fetchSortedNotesInFolder(context(), folder))
      out.push_back(note->string().value_or("") + "@" +
                    std::to_string(int64_t(note->timeStamp().value_or(ns::Date()).timeIntervalSinceReferenceDate())));
    return out;
  }
  std::vector<std::string> folderTitles() {
    std::vector<std::string> out;
    for (const auto& f : NTData::fetchSortedFolders(context())) out.push_back(f->title().value_or(""));
    return out;
  }
};

TEST_F(BackupScreensTest, SizeAndAgeTexts) {
  const std::pair<uint64_t, const char*> sizes[] = {{0, "0 B"},           {1024, "1024 B"},       {1025, "1 KB"},
                                                    {1048576, "1024 KB"}, {1048577, "1 MB"},      {3u << 20, "3 MB"}};
  for (const auto& [bytes, shown] : sizes) EXPECT_EQ(BackupTexts::sizeText(bytes), shown) << bytes;

  EXPECT_EQ(BackupTexts::ageText(daysAgoAtNoon(2)), "2 days ago");
  EXPECT_EQ(BackupTexts::ageText(daysAgoAtNoon(1)), "Yesterday at 12:00\u202FPM");
  EXPECT_EQ(BackupTexts::ageText(daysAgoAtNoon(0)), "Today at 12:00\u202FPM");

  // The preview's rows: the relative day word, or only the time today.
  EXPECT_EQ(SettingsBackupPreviewViewController::stringFromDate(daysAgoAtNoon(1)), "Yesterday");
  EXPECT_EQ(SettingsBackupPreviewViewController::stringFromDate(daysAgoAtNoon(0)), "12:00\u202FPM");
}

TEST_F(BackupScreensTest, ListShowsKindSizeAndAgeAndDeletingTheLastEmptiesIt) {
  makeBackupFile(2, false);
  makeBackupFile(1, true);
  openBackupList();
  std::string shown = screen();
  EXPECT_NE(shown.find("\"Local Backups\""), std::string::npos) << shown;
  EXPECT_NE(shown.find("(Features-AutoBackup) \"Full Backup (Auto Backup)\" \"3 B, Yesterday at 12:00\u202FPM\""),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("(Features-Backup) \"Full Backup\" \"3 B, 2 days ago\""), std::string::npos) << shown;
  EXPECT_TRUE(list()->editButtonItem()->isEnabled());

  ASSERT_TRUE(Input::swipeRow(1, "Delete")) << Input::lastFailure();
  EXPECT_TRUE(list()->editButtonItem()->isEnabled());
  // The last one deleted in edit mode: editing ends, as its Done is disabled.
  ASSERT_TRUE(Input::pressBarButton("Edit")) << Input::lastFailure();
  EXPECT_TRUE(list()->tableView().isEditing());
  list()->commitEditingStyle(list()->tableView(), ui::TableViewCellEditingStyle::Delete, ui::IndexPath::forRow(0, 0));
  EXPECT_TRUE(NTBackupsManager::localBackups().empty());
  EXPECT_FALSE(list()->editButtonItem()->isEnabled());
  EXPECT_FALSE(list()->isEditing());
  EXPECT_FALSE(list()->tableView().isEditing());
  EXPECT_FALSE(shows("Local Backups")) << screen();
}

TEST_F(BackupScreensTest, BackupNowEndsOnlyWithAWholeTurnThenListsTheNewBackup) {
  openBackupList();
  auto screenList = list();
  ASSERT_TRUE(Input::tap("Backup now")) << Input::lastFailure();  // settles half a second
  EXPECT_FALSE(screenList->backupNowButton().isEnabled());
  EXPECT_FALSE(screenList->view()->isUserInteractionEnabled());
  EXPECT_EQ(screenList->progressLabel().alpha(), 1);
  // The writer ends on its own threads (perhaps already) while the clock
  // stands still.
  ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return !screenList->isRotating(); }, 20));
  EXPECT_EQ(screenList->progressView().progress(), 1.0f);
  advance(0.9);  // 1.4 s into the turn
  EXPECT_FALSE(screenList->backupNowButton().isEnabled());
  EXPECT_EQ(screenList->tableView().numberOfRows(0), 0);
  advance(0.2);  // the turn is complete
  EXPECT_TRUE(screenList->backupNowButton().isEnabled());
  EXPECT_TRUE(screenList->view()->isUserInteractionEnabled());
  EXPECT_EQ(screenList->backupNowLabel().alpha(), 1);
  ASSERT_EQ(screenList->tableView().numberOfRows(0), 1);
  EXPECT_TRUE(screenList->editButtonItem()->isEnabled());
  EXPECT_TRUE(screenList->tableView().indexPathForSelectedRow().has_value());
  advance(1);
  EXPECT_FALSE(screenList->tableView().indexPathForSelectedRow().has_value());
  EXPECT_TRUE(shows("\"Full Backup\"")) << screen();
}

TEST_F(BackupScreensTest, ABackupErrorIsShownAfterTheTurnAndTheListStays) {
  openBackupList();
  auto screenList = list();
  // A backup already running makes the engine refuse the screen's at once.
  std::atomic<bool> otherEnded = false;
  NTBackupsManager::startBackup(false, [&](float, const NTBackup* b, const ns::Error* e) {
    if (b || e) otherEnded = true;
  });
  ASSERT_TRUE(Input::tap("Backup now")) << Input::lastFailure();
  EXPECT_FALSE(screenList->isRotating());
  EXPECT_FALSE(shows("Backup is already in progress")) << screen();  // the turn first
  advance(1.1);
  EXPECT_TRUE(shows("Backup is already in progress")) << screen();
  EXPECT_EQ(screenList->tableView().numberOfRows(0), 0);
  EXPECT_TRUE(screenList->backupNowButton().isEnabled());
  ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return otherEnded.load(); }, 20));
}

TEST_F(BackupScreensTest, DetailsCountNotesOfAllFolders) {
  launch();
  auto details = std::make_shared<SettingsBackupViewController>();
  Folders folders;
  folders["A"] = {{ns::Date::now(), text("1")}, {ns::Date::now(), text("2")}};
  folders["B"] = {};
  for (int i = 0; i < 5; ++i) folders["C"].push_back({ns::Date::now(), text(std::to_string(i))});
  details->setFolders(folders);
  details->loadViewIfNeeded();
  EXPECT_EQ(details->infoLabel().text(), "7 notes in 3 folders");
}

TEST_F(BackupScreensTest, ADamagedFileFromOutsideShowsOnlyTheAlertAndChangesNothing) {
  launch();
  std::string before = storeRows(storePath());
  std::string file = device().path("damaged.quillbox");
  std::ofstream(file) << "PK\x03\x04 not really a zip";
  ASSERT_TRUE(ui::Application::shared().deliverOpenURL(ns::URL::fileURLWithPath(file).absoluteString()));
  ASSERT_TRUE(dispatch::RunLoop::main().runUntil([] { return shows("File doesn't seem to be a backup file."); }, 20))
      << screen();
  Input::settle();
  EXPECT_TRUE(dynamic_cast<ui::AlertController*>(TXUIManager::topmostViewController().get())) << screen();
  EXPECT_FALSE(shows("Full Backup")) << screen();
  EXPECT_EQ(storeRows(storePath()), before);
}

TEST_F(BackupScreensTest, PreviewStartsAllCheckedAndSelectAllToggles) {
  launch();
  auto preview = std::make_shared<SettingsBackupPreviewViewController>();
  Folders folders;
  folders["Work"] = {{ns::Date::now(), text("alpha")}, {ns::Date::now(), text("beta")}};
  folders["Home"] = {{ns::Date::now(), text("gamma")}};
  preview->setFolders(folders);
  preview->loadViewIfNeeded();
  EXPECT_EQ(preview->foldersName(), (std::vector<std::string>{"Home", "Work"}));
  EXPECT_EQ(preview->totalNotes(), 3u);
  EXPECT_EQ(preview->restoreButton().title(), "3/3");
  EXPECT_TRUE(preview->restoreButton().isEnabled());

  preview->selectAll();
  EXPECT_EQ(preview->restoreButton().title(), "Select Notes");
  EXPECT_FALSE(preview->restoreButton().isEnabled());
  preview->selectAll();
  EXPECT_EQ(preview->restoreButton().title(), "3/3");

  // A checkmark taken off one row counts at once.
  auto cell = std::dynamic_pointer_cast<BackupNoteTableViewCell>(
      preview->cellForRow(preview->tableView(), ui::IndexPath::forRow(1, 1)));
  ASSERT_TRUE(cell);
  EXPECT_TRUE(cell->checkmarkSelected());
  cell->checkmarkClicked();
  EXPECT_EQ(preview->restoreButton().title(), "2/3");
  EXPECT_EQ(preview->selectedIndexPaths().count(ui::IndexPath::forRow(1, 1)), 0u);
  // The counter's label says what the button does; the toggle says its state.
  EXPECT_EQ(preview->restoreButton().screenName(), "Restore 2/3");
  EXPECT_FALSE(cell->checkmarkButton().isSelected());
}

// The "Checked" image is a disc with a tick cut out of it: the tick's short
// stroke goes down to a foot left of the middle, its long one up to the
// right; around it the disc is whole.
TEST_F(BackupScreensTest, TheCheckedImageShowsATick) {
  launch();
  auto checked = ui::Image::named("Checked");
  ASSERT_TRUE(checked && checked->bitmap());
  const cg::Image& bitmap = *checked->bitmap();
  auto alpha = [&](double x, double y) { return cg::testing::pixelAt(bitmap, x, y).a; };
  struct Point {
    double x, y;
    bool cut;
  };
  const Point points[] = {
      {8.5, 14, true},    // the short stroke
      {10.2, 15.6, true}, // the foot
      {15.5, 10, true},   // the long stroke
      {12, 6, false},     {6, 9, false}, {17, 15, false}, {12, 19.5, false},
  };
  for (const auto& p : points)
    EXPECT_EQ(alpha(p.x, p.y) < 60, p.cut) << p.x << "," << p.y << ": alpha " << int(alpha(p.x, p.y));
}

TEST_F(BackupScreensTest, RestoreAddsToFoldersOfTheSameTitleOrNewOnesKeepingDates) {
  launch();
  ns::Date old1(500000000.0), old2(500000600.0), old3(500001200.0);
  Folders folders;
  folders["Notes"] = {{old1, text("from backup")}};
  folders["Alpha"] = {{old2, text("first new")}};
  folders["Beta"] = {{old3, text("second new")}};
  auto restored = BackupRestore::restoreNotes(context(), folders, {{"Notes", 0}, {"Alpha", 0}, {"Beta", 0}, {"Gone", 0}});
  ASSERT_EQ(restored, 3u);
  EXPECT_EQ(folderTitles(), (std::vector<std::string>{"Alpha", "Beta", "Notes"}));
  auto inNotes = notesIn("Notes");
  ASSERT_EQ(inNotes.size(), 2u);
  EXPECT_EQ(inNotes[0], "from backup@500000000");  // on top, with the backup's date
  EXPECT_TRUE(inNotes[1].starts_with(notes::testing::kFirstNote));
  EXPECT_EQ(notesIn("Alpha"), (std::vector<std::string>{"first new@500000600"}));
  EXPECT_EQ(notesIn("Beta"), (std::vector<std::string>{"second new@500001200"}));
  EXPECT_FALSE(context().hasChanges());
}

TEST_F(BackupScreensTest, ARestoreTheStoreRefusesHalfWayLeavesStoreAndContextAsBefore) {
  launch();
  Folders folders;
  folders["Notes"] = {{ns::Date(500000000.0), text("one")}, {ns::Date(500000600.0), text("two")}};
  folders["Alpha"] = {{ns::Date(500001200.0), text("three")}};
  const std::vector<BackupRestore::Choice> all = {{"Alpha", 0}, {"Notes", 0}, {"Notes", 1}};
  std::string onDisk = storeRows(storePath());
  auto foldersBefore = folderTitles();
  auto notesBefore = notesIn("Notes");
  // The second note written makes the store fail, as a full disk would.
  execOnStore(storePath(),
              "CREATE TRIGGER refuse BEFORE INSERT ON \"Note\" WHEN NEW.string = 'two' "
              "BEGIN SELECT RAISE(ABORT, 'disk is full'); END;");
  EXPECT_EQ(BackupRestore::restoreNotes(context(), folders, all), std::nullopt);
  EXPECT_EQ(storeRows(storePath()), onDisk);
  EXPECT_EQ(folderTitles(), foldersBefore);
  EXPECT_EQ(notesIn("Notes"), notesBefore);
  EXPECT_TRUE(context().insertedObjects().empty());

  // Nothing half-made waits in the context: the next restore adds each note once.
  execOnStore(storePath(), "DROP TRIGGER refuse;");
  EXPECT_EQ(BackupRestore::restoreNotes(context(), folders, all), 3u);
  EXPECT_EQ(folderTitles(), (std::vector<std::string>{"Alpha", "Notes"}));
  EXPECT_EQ(notesIn("Notes").size(), notesBefore.size() + 2);
}

TEST_F(BackupScreensTest, ARefusedRestoreFromThePreviewSaysSoAndStays) {
  launch();
  Folders folders;
  folders["Notes"] = {{ns::Date(500000000.0), text("one")}};
  auto preview = std::make_shared<SettingsBackupPreviewViewController>();
  preview->setFolders(folders);
  auto navigation = std::make_shared<ui::NavigationController>(preview);
  TXUIManager::topmostViewController()->presentViewController(navigation, false);
  Input::settle();
  execOnStore(storePath(), "CREATE TRIGGER refuse BEFORE INSERT ON \"Note\" BEGIN SELECT RAISE(ABORT, 'full'); END;");
  ASSERT_TRUE(Input::tap("1/1")) << Input::lastFailure() << screen();
  advance(1);
  EXPECT_TRUE(shows("The notes could not be restored. Nothing was changed.")) << screen();
  EXPECT_FALSE(shows("Successfully restored")) << screen();
  EXPECT_TRUE(preview->isViewLoaded() && preview->navigationController()->presentingViewController()) << screen();
}

}  // namespace
