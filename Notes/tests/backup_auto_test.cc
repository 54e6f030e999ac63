#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/AppSupportKit/TXConfig.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/NTSettings.h"
#include "Notes/tests/backup_test_support.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/UIKit/Application.h"

namespace notes::testing {
namespace {

const ns::Date kNow(765000000.0);  // 2025-03-30 04:00:00 UTC

class AutoBackupTest : public BackupStoreTest {
 public:
  void SetUp() override {
    BackupStoreTest::SetUp();
    addFolder("F", {"a"});
    load();
    NTBackupsManager::setApplicationContainer(container_);
    ns::Clock::useVirtual(kNow);
    TXConfig::sharedInstance().reset();
  }
  void TearDown() override {
    ns::Clock::useReal();
    TXConfig::sharedInstance().reset();
    NTBackupsManager::setApplicationContainer(nullptr);
    ui::Application::shared().setProtectedDataAvailable(true);
  }

  std::shared_ptr<ns::UserDefaults> defaults() { return NTSettings::userDefaults(); }
  void setDate(const char* key, std::optional<ns::Date> date) {
    if (date) defaults()->setObject(ns::Value(*date), key);
    else defaults()->removeObjectForKey(key);
  }
  // Runs the automatic backup; answers whether the completion ran before
  // the call returned, and waits for it otherwise.
  bool runAutoBackup() {
    bool completed = false;
    NTBackupsManager::autoBackupIfNeeded([&] {
      EXPECT_TRUE(dispatch::isMainThread());
      completed = true;
    });
    bool synchronous = completed;
    dispatch::RunLoop::main().runUntil([&] { return completed; }, 20);
    EXPECT_TRUE(completed);
    return synchronous;
  }
  // Empty backup files named for days before kNow, oldest first.
  std::vector<std::string> makeOldBackups(int count, const std::string& directory) {
    std::vector<std::string> names;
    for (int i = count; i >= 1; --i) {
      bool automatic = i % 2 == 0;  // automatic and manual ones alike
      std::string name = NTBackup::backupNameForDate(kNow.addingTimeInterval(-86400.0 * i), automatic) + ".quillbox";
      EXPECT_TRUE(ns::FileManager::defaultManager().createFile(directory + "/" + name, ns::Data()));
      names.push_back(name);
    }
    return names;
  }
  std::vector<std::string> backupNames() {
    std::vector<std::string> names;
    for (const auto& b : NTBackupsManager::localBackups()) names.push_back(b.URL().lastPathComponent());
    return names;
  }
};

// When a backup is due: only with automatic backups on, and only when the
// notes were saved after the last automatic backup (or there was none).
TEST_F(AutoBackupTest, BackupOnlyWhenASaveIsNewerThanTheLastBackup) {
  const ns::Date earlier = kNow.addingTimeInterval(-60), later = kNow.addingTimeInterval(-30);
  struct Case {
    const char* name;
    bool on;
    std::optional<ns::Date> lastSave, lastBackup;
    bool due;
  } cases[] = {
      {"switched off", false, later, earlier, false},
      {"never backed up, never saved", true, std::nullopt, std::nullopt, true},
      {"never backed up", true, earlier, std::nullopt, true},
      {"saved after the backup", true, later, earlier, true},
      {"saved at the backup's moment", true, earlier, earlier, false},
      {"saved before the backup", true, earlier, later, false},
      {"backed up, no save recorded", true, std::nullopt, earlier, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto& fm = ns::FileManager::defaultManager();
    for (const auto& b : NTBackupsManager::localBackups()) fm.removeItem(b.URL());
    defaults()->setBool(c.on, NTSettings::kAutoBackupKey);
    setDate(NTSettings::kLastSaveDateKey, c.lastSave);
    setDate(NTSettings::kLastBackupDateKey, c.lastBackup);

    bool synchronous = runAutoBackup();
    auto backups = NTBackupsManager::localBackups();
    EXPECT_EQ(synchronous, !c.due);
    EXPECT_EQ(backups.size(), c.due ? 1u : 0u);
    if (c.due && !backups.empty()) {
      EXPECT_TRUE(backups[0].isAutoBackup());
      EXPECT_EQ(defaults()->dateForKey(NTSettings::kLastBackupDateKey), ns::Clock::now());
    } else {
      EXPECT_EQ(defaults()->dateForKey(NTSettings::kLastBackupDateKey), c.lastBackup);
    }
  }
}

// After a successful automatic backup the newest "maxBackups" stay,
// automatic or manual, in the directory in use; below 1 nothing goes.
TEST_F(AutoBackupTest, PruningKeepsTheNewest) {
  struct Case {
    const char* name;
    std::optional<ns::Value> maxBackups;  // absent: the default, 50
    int existing;
    bool iCloud;
    size_t kept;
  } cases[] = {
      {"default 50 of 52", std::nullopt, 51, false, 50},
      {"3 of 6", ns::Value(3), 5, false, 3},
      {"3 of 6 in iCloud", ns::Value(3), 5, true, 3},
      {"1 keeps only the new one", ns::Value(1), 2, false, 1},
      {"0 switches pruning off", ns::Value(0), 4, false, 5},
      {"negative switches pruning off", ns::Value(-2), 4, false, 5},
      {"a numeric string counts", ns::Value("3"), 5, false, 3},
      {"a value of another type is the default", ns::Value("many"), 51, false, 50},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::testing::TemporaryDevice device;  // a fresh directory per case
    if (c.iCloud) {
      auto facts = device.device().facts();
      facts.iCloudSignedIn = true;
      device.device().setFacts(facts);
      ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(*NTBackupsManager::backupsPath(true), true));
      ASSERT_TRUE(NTBackupsManager::backupsUseICloud());
    }
    TXConfig::sharedInstance().reset();
    if (c.maxBackups) TXConfig::sharedInstance().setValue("app", "maxBackups", *c.maxBackups);
    defaults()->setBool(true, NTSettings::kAutoBackupKey);
    std::string directory = NTBackupsManager::backupsPath();
    ASSERT_EQ(directory.find(device.directory()), 0u);
    auto old = makeOldBackups(c.existing, directory);
    ASSERT_TRUE(ns::FileManager::defaultManager().createFile(directory + "/notes.txt", ns::Data()));

    EXPECT_FALSE(runAutoBackup());
    std::vector<std::string> expected{NTBackup::backupNameForDate(kNow, true) + ".quillbox"};
    for (auto it = old.rbegin(); it != old.rend() && expected.size() < c.kept; ++it) expected.push_back(*it);
    EXPECT_EQ(backupNames(), expected);
    EXPECT_TRUE(ns::FileManager::defaultManager().fileExists(directory + "/notes.txt"));
  }
}

// A backup dated in the future (the clock was set back since) keeps its
// place, and the backup just made is never pruned away.
TEST_F(AutoBackupTest, PruningNeverRemovesTheBackupJustMade) {
  TXConfig::sharedInstance().setValue("app", "maxBackups", ns::Value(1));
  defaults()->setBool(true, NTSettings::kAutoBackupKey);
  std::string directory = NTBackupsManager::backupsPath();
  makeOldBackups(2, directory);
  std::string future = NTBackup::backupNameForDate(kNow.addingTimeInterval(86400), false) + ".quillbox";
  ASSERT_TRUE(ns::FileManager::defaultManager().createFile(directory + "/" + future, ns::Data()));
  EXPECT_FALSE(runAutoBackup());
  EXPECT_EQ(backupNames(), (std::vector<std::string>{future, NTBackup::backupNameForDate(kNow, true) + ".quillbox"}));
}

// A failed automatic backup stamps nothing and removes nothing, and its
// completion still runs on the main queue.
TEST_F(AutoBackupTest, FailedBackupNeitherStampsNorPrunes) {
  TXConfig::sharedInstance().setValue("app", "maxBackups", ns::Value(1));
  defaults()->setBool(true, NTSettings::kAutoBackupKey);
  auto old = makeOldBackups(3, NTBackupsManager::backupsPath());
  std::sort(old.begin(), old.end());
  const ns::Date lastBackup = kNow.addingTimeInterval(-600);
  setDate(NTSettings::kLastBackupDateKey, lastBackup);
  setDate(NTSettings::kLastSaveDateKey, kNow.addingTimeInterval(-60));
  auto sortedNames = [&] {
    auto names = backupNames();
    std::sort(names.begin(), names.end());
    return names;
  };

  {
    SCOPED_TRACE("device locked");
    ui::Application::shared().setProtectedDataAvailable(false);
    EXPECT_FALSE(runAutoBackup());
    ui::Application::shared().setProtectedDataAvailable(true);
    EXPECT_EQ(sortedNames(), old);
    EXPECT_EQ(defaults()->dateForKey(NTSettings::kLastBackupDateKey), lastBackup);
  }
  {
    SCOPED_TRACE("another backup running");
    WriterCalls manual;
    NTBackupsManager::startBackup(false, manual.block());
    EXPECT_FALSE(runAutoBackup());
    manual.wait();
    ASSERT_TRUE(manual.backup);
    EXPECT_EQ(defaults()->dateForKey(NTSettings::kLastBackupDateKey), lastBackup);
    auto expected = old;
    expected.push_back(manual.backup->URL().lastPathComponent());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sortedNames(), expected);
  }
}

}  // namespace
}  // namespace notes::testing
