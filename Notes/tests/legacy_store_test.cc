#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Notes/ClassNameTransformer.h"
#include "Notes/NTOldStore.h"
#include "Notes/NTSettings.h"
#include "Notes/tests/backup_test_support.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/UIKit/Application.h"

namespace notes::testing {
namespace {

const ns::Date kLaunch(765000000.0);

// The archive of a note's rich text as the model stores it, as an SQL blob.
std::string textBlob(const std::string& text) {
  NTDataModel::model();  // registers the transformer
  ClassNameTransformer transformer;
  auto data = std::any_cast<ns::Data>(transformer.transformedValue(std::any(ns::AttributedString(text))));
  std::string hex = "X'";
  char byte[3];
  for (uint8_t b : data) {
    std::snprintf(byte, sizeof byte, "%02X", b);
    hex += byte;
  }
  return hex + "'";
}

// A store of an earlier version, made with the sqlite3 command line in the
// object store's layout: the model of those days had no reminder dates.
void makeLegacyStore(const std::string& path) {
  std::string sql =
      "CREATE TABLE _metadata (key TEXT PRIMARY KEY, value);"
      "CREATE TABLE _schema (entity TEXT NOT NULL, property TEXT NOT NULL, kind TEXT NOT NULL,"
      " PRIMARY KEY (entity, property));"
      "INSERT INTO _metadata VALUES ('identifier', '6F1C2A34-0B5D-4E8F-9A10-2B3C4D5E6F70');"
      "CREATE TABLE \"Note\" (_pk INTEGER PRIMARY KEY, \"timeStamp\" REAL, \"attributedString\" BLOB,"
      " \"string\" TEXT, \"title\" TEXT, \"displayOrder\" INTEGER, \"folder\" INTEGER);"
      "CREATE INDEX \"Note_folder\" ON \"Note\" (\"folder\");"
      "CREATE TABLE \"Folder\" (_pk INTEGER PRIMARY KEY, \"displayOrder\" INTEGER, \"title\" TEXT);"
      "INSERT INTO _schema VALUES ('Note','','entity'),('Note','timeStamp','date'),"
      "('Note','attributedString','transformable'),('Note','string','string'),('Note','title','string'),"
      "('Note','displayOrder','integer32'),('Note','folder','to-one Folder'),"
      "('Folder','','entity'),('Folder','displayOrder','integer32'),('Folder','title','string');"
      "INSERT INTO \"Folder\" VALUES (1, 0, 'Old Work'), (2, 1, 'Old Home');"
      "INSERT INTO \"Note\" VALUES (1, 600000000, " + textBlob("Quarterly plan") +
      ", 'Quarterly plan', 'Quarterly plan', 0, 1);"
      "INSERT INTO \"Note\" VALUES (2, 600000100, " + textBlob("Budget") + ", 'Budget', 'Budget', 1, 1);"
      "INSERT INTO \"Note\" VALUES (3, 600000200, " + textBlob("Groceries") +
      ", 'Groceries', 'Groceries', 0, 2);";
  std::string script = path + ".sql";
  FILE* f = std::fopen(script.c_str(), "w");
  ASSERT_TRUE(f);
  std::fputs(sql.c_str(), f);
  std::fclose(f);
  ASSERT_EQ(runCommand("sqlite3 " + shellQuoted(path) + " < " + shellQuoted(script) + " && echo ok"), "ok\n");
  std::remove(script.c_str());
}

// Folder title -> note texts.
using Contents = std::map<std::string, std::multiset<std::string>>;

Contents contentsOfStore(const std::string& path) {
  StoreStack stack(path);
  Contents out;
  for (const auto& folder : NTData::fetchSortedFolders(*stack.context)) {
    auto& notes = out[folder->title().value_or("")];
    for (const auto& note : NTData::fetchSortedNotesInFolder(*stack.context, folder))
      notes.insert(note->text().value_or(ns::AttributedString()).string());
  }
  return out;
}

Contents contentsOfBackup(const NTBackup& backup) {
  ReaderCalls calls;
  readBackup(backup, calls);
  Contents out;
  if (!calls.folders) return out;
  for (const auto& [title, notes] : *calls.folders)
    for (const auto& [stamp, text] : notes) out[title].insert(text.string());
  return out;
}

const Contents kLegacyContents{{"Old Work", {"Quarterly plan", "Budget"}}, {"Old Home", {"Groceries"}}};

class LegacyStoreTest : public ::testing::Test {
 public:
  void SetUp() override {
    dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
    ns::Clock::useVirtual(kLaunch);
    NTOldStore::resetOldContainer();
    coordinator_ = std::make_shared<cd::PersistentStoreCoordinator>(NTDataModel::model());
  }
  void TearDown() override {
    NTOldStore::resetOldContainer();
    ns::Clock::useReal();
    ui::Application::shared().setProtectedDataAvailable(true);
  }

  std::string documents() const { return device_.device().documentsDirectory(); }
  std::string legacyPath() const { return documents() + "/RemoteNotes.sqlite"; }
  ns::URL newStoreURL() const { return ns::URL::fileURLWithPath(documents() + "/Notes.sqlite"); }
  ns::Dictionary newStoreOptions() const {
    return ns::Dictionary{{cd::kMigratePersistentStoresAutomaticallyOption, ns::Value(true)},
                          {cd::kInferMappingModelAutomaticallyOption, ns::Value(true)}};
  }
  bool flag() { return NTSettings::userDefaults()->boolForKey(NTSettings::kCreatedOldDataBackupKey); }
  bool migrationTaskRunning() {
    auto tasks = ui::Application::shared().runningBackgroundTasks();
    return std::find(tasks.begin(), tasks.end(), "Migrate Old Store") != tasks.end();
  }
  // Moves the clock and runs what fell due on the main loop; with the
  // migration's task running, until that task ends.
  void advance(double seconds) {
    ns::Clock::advance(seconds);
    dispatch::RunLoop::main().drain();
    if (migrationTaskRunning()) dispatch::RunLoop::main().runUntil([&] { return !migrationTaskRunning(); }, 20);
  }
  // The same while the safety backup is not yet due.
  void advanceBeforeDue(double seconds) {
    ns::Clock::advance(seconds);
    dispatch::RunLoop::main().drain();
  }
  std::vector<NTBackup> backups() { return NTBackupsManager::localBackups(); }

  ns::testing::TemporaryDevice device_;
  std::shared_ptr<cd::PersistentStoreCoordinator> coordinator_;
};

TEST_F(LegacyStoreTest, MovesTheLegacyNotesAndWritesOneSafetyBackupTwentySecondsLater) {
  makeLegacyStore(legacyPath());
  NTOldStore::migrateIfRequired(coordinator_, newStoreURL(), newStoreOptions());

  // The current store holds the legacy notes; the coordinator is left for
  // the caller to add it.
  EXPECT_TRUE(coordinator_->persistentStores().empty());
  EXPECT_EQ(contentsOfStore(newStoreURL().path()), kLegacyContents);
  ASSERT_TRUE(NTOldStore::oldContainer());
  EXPECT_TRUE(migrationTaskRunning());

  advanceBeforeDue(19);
  EXPECT_TRUE(backups().empty());
  advance(1);
  auto made = backups();
  ASSERT_EQ(made.size(), 1u);
  EXPECT_TRUE(made[0].isAutoBackup());
  EXPECT_EQ(contentsOfBackup(made[0]), kLegacyContents);
  EXPECT_TRUE(flag());
  EXPECT_FALSE(migrationTaskRunning());

  // The next launch finds the current store and the backup made.
  NTOldStore::resetOldContainer();
  auto relaunch = std::make_shared<cd::PersistentStoreCoordinator>(NTDataModel::model());
  NTOldStore::migrateIfRequired(relaunch, newStoreURL(), newStoreOptions());
  EXPECT_TRUE(relaunch->persistentStores().empty());
  EXPECT_TRUE(NTOldStore::oldContainer());
  EXPECT_FALSE(migrationTaskRunning());
  advance(30);
  EXPECT_EQ(backups().size(), 1u);
}

TEST_F(LegacyStoreTest, WithoutALegacyStoreNothingHappens) {
  NTOldStore::migrateIfRequired(coordinator_, newStoreURL(), newStoreOptions());
  auto& fm = ns::FileManager::defaultManager();
  EXPECT_FALSE(fm.fileExists(legacyPath()));
  EXPECT_FALSE(fm.fileExists(newStoreURL().path()));
  EXPECT_TRUE(coordinator_->persistentStores().empty());
  EXPECT_FALSE(NTOldStore::oldContainer());
  EXPECT_FALSE(migrationTaskRunning());
  advance(30);
  EXPECT_TRUE(backups().empty());
  EXPECT_FALSE(flag());
}

TEST_F(LegacyStoreTest, CurrentStorePresentIsLeftAloneButTheSafetyBackupIsMade) {
  makeLegacyStore(legacyPath());
  {
    StoreStack current(newStoreURL().path());
    auto folder = NTData::insertNewFolderAtIndex(*current.context, 0);
    folder->setTitle(std::string("Current"));
    ASSERT_TRUE(NTData::saveContext(*current.context));
  }
  NTOldStore::migrateIfRequired(coordinator_, newStoreURL(), newStoreOptions());
  EXPECT_TRUE(coordinator_->persistentStores().empty());
  EXPECT_EQ(contentsOfStore(newStoreURL().path()), (Contents{{"Current", {}}}));
  advance(20);
  auto made = backups();
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(contentsOfBackup(made[0]), kLegacyContents);
  EXPECT_TRUE(flag());
}

TEST_F(LegacyStoreTest, BackupAlreadyMadeEndsTheTaskDuringTheCall) {
  makeLegacyStore(legacyPath());
  NTSettings::userDefaults()->setBool(true, NTSettings::kCreatedOldDataBackupKey);
  NTOldStore::migrateIfRequired(coordinator_, newStoreURL(), newStoreOptions());
  EXPECT_FALSE(migrationTaskRunning());
  EXPECT_EQ(contentsOfStore(newStoreURL().path()), kLegacyContents);
  advance(30);
  EXPECT_TRUE(backups().empty());
}

// A legacy file that is no store: nothing is moved, set up or backed up.
TEST_F(LegacyStoreTest, LegacyStoreThatCannotBeAddedStopsEverything) {
  ASSERT_TRUE(ns::FileManager::defaultManager().createFile(legacyPath(), ns::Data(4096, 0x5A)));
  NTOldStore::migrateIfRequired(coordinator_, newStoreURL(), newStoreOptions());
  EXPECT_TRUE(coordinator_->persistentStores().empty());
  EXPECT_FALSE(ns::FileManager::defaultManager().fileExists(newStoreURL().path()));
  EXPECT_FALSE(NTOldStore::oldContainer());
  EXPECT_FALSE(migrationTaskRunning());
  EXPECT_FALSE(dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors().empty());
  advance(30);
  EXPECT_TRUE(backups().empty());
  EXPECT_FALSE(flag());
}

// A move that fails leaves the legacy store out of the coordinator that
// opens the current store next; the safety backup still keeps its notes.
TEST_F(LegacyStoreTest, FailedMoveTakesTheLegacyStoreOutOfTheCoordinator) {
  makeLegacyStore(legacyPath());
  ns::URL unreachable = ns::URL::fileURLWithPath(documents() + "/missing/Notes.sqlite");
  NTOldStore::migrateIfRequired(coordinator_, unreachable, newStoreOptions());
  EXPECT_TRUE(coordinator_->persistentStores().empty());
  EXPECT_FALSE(ns::FileManager::defaultManager().fileExists(unreachable.path()));
  EXPECT_FALSE(dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors().empty());
  advance(20);
  auto made = backups();
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(contentsOfBackup(made[0]), kLegacyContents);
}

// A safety backup that fails leaves the flag for the next launch.
TEST_F(LegacyStoreTest, FailedSafetyBackupLeavesTheFlag) {
  makeLegacyStore(legacyPath());
  NTOldStore::migrateIfRequired(coordinator_, newStoreURL(), newStoreOptions());
  ui::Application::shared().setProtectedDataAvailable(false);
  advance(20);
  EXPECT_FALSE(migrationTaskRunning());
  EXPECT_TRUE(backups().empty());
  EXPECT_FALSE(flag());
}

TEST_F(LegacyStoreTest, BackupByHandWithoutALegacyStoreAnswersWithAnError) {
  bool called = false;
  NTOldStore::createBackupFromOldStoreWithCompletionBlock([&](const ns::Error* error) {
    called = true;
    EXPECT_TRUE(error);
  });
  EXPECT_TRUE(called);
  EXPECT_TRUE(backups().empty());
}

}  // namespace
}  // namespace notes::testing
