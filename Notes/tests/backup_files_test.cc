#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Notes/NTBackup.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/tests/backup_test_support.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace notes::testing {
namespace {

// 2024-03-05 18:07:09 in the device's zone (UTC).
const ns::Date kNameDate = ns::Date::fromUnixTime(1709662029);

class BackupFilesTest : public ::testing::Test {
 public:
  std::string directory() { return NTBackupsManager::backupsPath(); }
  void touch(const std::string& path, std::optional<ns::Date> created = std::nullopt) {
    ns::FileAttributeChanges dates;
    dates.creationDate = created;
    dates.modificationDate = created;
    ASSERT_TRUE(ns::FileManager::defaultManager().createFile(path, ns::Data(3, 'z'), dates)) << path;
  }
  std::set<std::string> namesIn(const std::string& dir) {
    auto names = ns::FileManager::defaultManager().contentsOfDirectory(dir);
    return names ? std::set<std::string>(names->begin(), names->end()) : std::set<std::string>{};
  }
  void setICloud(bool signedIn) {
    auto facts = device_.device().facts();
    facts.iCloudSignedIn = signedIn;
    device_.device().setFacts(facts);
  }
  // Switches the location and waits for the block.
  std::optional<ns::Error> switchTo(bool iCloud) {
    std::mutex mutex;
    bool done = false;
    std::optional<ns::Error> result;
    NTBackupsManager::setBackupsUseICloud(iCloud, [&](const ns::Error* error) {
      std::lock_guard lock(mutex);
      if (error) result = *error;
      done = true;
    });
    dispatch::RunLoop::main().runUntil([&] {
      std::lock_guard lock(mutex);
      return done;
    }, 20);
    EXPECT_TRUE(done);
    return result;
  }

  ns::testing::TemporaryDevice device_;
};

TEST_F(BackupFilesTest, NamesGiveDatesAndKinds) {
  EXPECT_EQ(NTBackup::backupNameForDate(kNameDate, false), "Quillbox Backup 2024-03-05 18-07-09");
  EXPECT_EQ(NTBackup::backupNameForDate(kNameDate, true), "Quillbox Auto Backup 2024-03-05 18-07-09");

  const ns::Date created = ns::Date::fromUnixTime(1600000000);
  struct Case {
    const char* file;
    std::optional<ns::Date> date;  // absent: the file's creation date
    bool automatic;
  } cases[] = {
      {"Quillbox Backup 2024-03-05 18-07-09.quillbox", kNameDate, false},
      {"Quillbox Auto Backup 2024-03-05 18-07-09.quillbox", kNameDate, true},
      {"Quillbox Auto Backup 2024-03-05 18-07-09 (1).quillbox", kNameDate, true},
      {"Mine 2024-03-05 18-07-09.QuillBox", kNameDate, false},
      {"x.QUILLBOX", std::nullopt, false},
      {"Quillbox Backup 2024-13-45 99-99-99.quillbox", std::nullopt, false},  // no such date
      {"quillbox auto backup 2024-03-05 18-07-09.quillbox", kNameDate, false},  // case matters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::string path = directory() + "/" + c.file;
    touch(path, created);
    NTBackup backup(ns::URL::fileURLWithPath(path));
    EXPECT_EQ(backup.date(), c.date.value_or(created));
    EXPECT_EQ(backup.isAutoBackup(), c.automatic);
    EXPECT_EQ(backup.size(), std::optional<uint64_t>(3));
    EXPECT_EQ(backup.URL().path(), path);
  }
  NTBackup missing(ns::URL::fileURLWithPath(directory() + "/gone.quillbox"));
  EXPECT_FALSE(missing.date());
  EXPECT_FALSE(missing.size());
}

TEST_F(BackupFilesTest, ListingHoldsOnlyBackupsNewestFirst) {
  const std::string dir = directory();
  touch(dir + "/Quillbox Backup 2024-03-05 18-07-09.quillbox");
  touch(dir + "/Quillbox Auto Backup 2025-01-01 00-00-00.quillbox");
  touch(dir + "/Quillbox Backup 2023-12-31 23-59-59 (1).quillbox");
  touch(dir + "/x.QUILLBOX", ns::Date::fromUnixTime(1712000000));  // 2024-04-01 by its creation date
  touch(dir + "/Quillbox Backup 2026-01-01 00-00-00.zip");
  touch(dir + "/notes.txt");
  std::vector<std::string> listed;
  for (const auto& b : NTBackupsManager::localBackups()) listed.push_back(b.URL().lastPathComponent());
  EXPECT_EQ(listed, (std::vector<std::string>{"Quillbox Auto Backup 2025-01-01 00-00-00.quillbox", "x.QUILLBOX",
                                              "Quillbox Backup 2024-03-05 18-07-09.quillbox",
                                              "Quillbox Backup 2023-12-31 23-59-59 (1).quillbox"}));

  NTBackupsManager::removeBackup(NTBackupsManager::localBackups().front());
  EXPECT_EQ(NTBackupsManager::localBackups().size(), 3u);
  EXPECT_EQ(namesIn(dir).count("Quillbox Auto Backup 2025-01-01 00-00-00.quillbox"), 0u);
}

// Moving to iCloud and back keeps every backup, also when a name is taken
// at the destination.
TEST_F(BackupFilesTest, MovesToAndFromICloudKeepEveryBackup) {
  setICloud(true);
  const std::string local = *NTBackupsManager::backupsPath(false);
  const std::string cloud = *NTBackupsManager::backupsPath(true);
  touch(local + "/Quillbox Backup 2024-03-05 18-07-09.quillbox");
  touch(local + "/Quillbox Auto Backup 2024-03-06 18-07-09.quillbox");
  EXPECT_FALSE(NTBackupsManager::backupsUseICloud());

  EXPECT_FALSE(switchTo(true));
  EXPECT_TRUE(NTBackupsManager::backupsUseICloud());
  EXPECT_EQ(NTBackupsManager::backupsPath(), cloud);
  EXPECT_EQ(namesIn(cloud), (std::set<std::string>{"Quillbox Backup 2024-03-05 18-07-09.quillbox",
                                                   "Quillbox Auto Backup 2024-03-06 18-07-09.quillbox"}));
  EXPECT_EQ(NTBackupsManager::localBackups().size(), 2u);

  // Switching to the state in effect moves nothing.
  EXPECT_FALSE(switchTo(true));
  EXPECT_EQ(namesIn(cloud).size(), 2u);

  // A local backup of the same name waits at home; both are kept.
  ASSERT_EQ(NTBackupsManager::backupsPath(false), local);  // made again when asked for
  touch(local + "/Quillbox Backup 2024-03-05 18-07-09.quillbox");
  EXPECT_FALSE(switchTo(false));
  EXPECT_FALSE(NTBackupsManager::backupsUseICloud());
  EXPECT_EQ(namesIn(local), (std::set<std::string>{"Quillbox Backup 2024-03-05 18-07-09.quillbox",
                                                   "Quillbox Backup 2024-03-05 18-07-09 (1).quillbox",
                                                   "Quillbox Auto Backup 2024-03-06 18-07-09.quillbox"}));
  EXPECT_EQ(NTBackupsManager::localBackups().size(), 3u);
}

// The account signs out and in while backups are listed and written from
// other threads: the directory in use is always one of the two, looked up
// with one look at the container.
TEST_F(BackupFilesTest, ContainerComingAndGoingNeverBreaksTheBackupsPath) {
  setICloud(true);
  ASSERT_FALSE(switchTo(true));
  const std::string cloud = *NTBackupsManager::backupsPath(true);
  const std::string local = *NTBackupsManager::backupsPath(false);
  std::atomic<bool> stop{false};
  std::thread account([&] {
    for (int i = 0; i < 400 && !stop; ++i) setICloud(i % 2 == 1);
    stop = true;
  });
  size_t looks = 0, others = 0;
  while (!stop) {
    std::string path = NTBackupsManager::backupsPath();
    if (path != cloud && path != local) ++others;
    ++looks;
  }
  account.join();
  EXPECT_EQ(others, 0u) << "of " << looks;
}

TEST_F(BackupFilesTest, SwitchToICloudWithoutAContainerAnswersWithTheError) {
  setICloud(false);
  touch(directory() + "/Quillbox Backup 2024-03-05 18-07-09.quillbox");
  auto error = switchTo(true);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->localizedDescription(), "iCloud enabled but iCloud container path is nil");
  EXPECT_EQ(NTBackupsManager::localBackups().size(), 1u);
}

}  // namespace
}  // namespace notes::testing
