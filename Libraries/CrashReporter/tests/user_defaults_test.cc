#include <sys/stat.h>

#include <filesystem>

#include "Libraries/CrashReporter/tests/DefaultsTest.h"

namespace dvcr_testing {
namespace {

using UserDefaultsTest = DefaultsTest;

timespec modificationTime(const std::string& file) {
  struct stat info {};
  ::stat(file.c_str(), &info);
  return info.st_mtim;
}

TEST_F(UserDefaultsTest, ValuesReachTheFileAndTheNextLaunch) {
  auto store = defaults();
  EXPECT_EQ(store->filePath(), path("App/Library/Application Support/com.dodevadarud/DVCRUserDefaults.plist"));
  store->setInteger(2, "com.dodevadarud.data_collection");
  store->setString("abc", "text");
  store->setBool(true, "flag");
  store->synchronize();
  EXPECT_TRUE(store->synchronizeWroteToDisk());
  EXPECT_EQ(plistValue("com.dodevadarud.data_collection"), "2");
  EXPECT_EQ(plistValue("text"), "abc");

  DVCRUserDefaultsResetForTesting();
  auto relaunched = defaults();
  EXPECT_EQ(relaunched->integerForKey("com.dodevadarud.data_collection"), 2);
  EXPECT_EQ(relaunched->stringForKey("text"), "abc");
  EXPECT_TRUE(relaunched->boolForKey("flag"));
  // Typed reads of the wrong kind answer their zero value.
  EXPECT_FALSE(relaunched->boolForKey("text"));
  EXPECT_EQ(relaunched->integerForKey("missing"), 0);
  EXPECT_EQ(relaunched->stringForKey("flag"), "");

  relaunched->setObject(ns::Value(), "text");
  EXPECT_TRUE(relaunched->objectForKey("text").isNull());
  relaunched->removeAllObjects();
  EXPECT_TRUE(relaunched->dictionaryRepresentation().empty());
}

TEST_F(UserDefaultsTest, SynchronizeWithoutChangesTouchesNoFile) {
  auto store = defaults();
  store->synchronize();
  EXPECT_FALSE(store->synchronizeWroteToDisk());
  EXPECT_FALSE(std::filesystem::exists(store->filePath()));

  store->setString("v", "k");
  store->synchronize();
  timespec written = modificationTime(store->filePath());
  ::usleep(20'000);
  store->synchronize();
  EXPECT_FALSE(store->synchronizeWroteToDisk());
  timespec after = modificationTime(store->filePath());
  EXPECT_EQ(after.tv_sec, written.tv_sec);
  EXPECT_EQ(after.tv_nsec, written.tv_nsec);
  // Setting the same value again is no change either.
  store->setString("v", "k");
  store->synchronize();
  EXPECT_FALSE(store->synchronizeWroteToDisk());
}

TEST_F(UserDefaultsTest, ADirectoryInTheFilesPlaceIsRemovedAndADamagedFileStartsEmpty) {
  std::string file = path("App/Library/Application Support/com.dodevadarud/DVCRUserDefaults.plist");
  std::filesystem::create_directories(file + "/inside");
  EXPECT_TRUE(defaults()->dictionaryRepresentation().empty());
  EXPECT_FALSE(std::filesystem::exists(file));

  writeAll(file, "not a property list");
  DVCRUserDefaultsResetForTesting();
  auto store = defaults();
  EXPECT_TRUE(store->dictionaryRepresentation().empty());
  store->setInteger(1, "k");
  store->synchronize();
  EXPECT_EQ(plistValue("k"), "1");
}

TEST_F(UserDefaultsTest, AFailedWriteIsRetriedByTheNextSynchronize) {
  auto store = defaults();
  // A directory with contents where the file goes: the atomic rename fails.
  std::filesystem::create_directories(store->filePath() + "/blocker");
  store->setString("C0FFEE00-0000-4000-8000-000000000000", "com.dodevadarud.iuuid");
  store->synchronize();
  EXPECT_TRUE(store->synchronizeWroteToDisk());
  EXPECT_TRUE(std::filesystem::is_directory(store->filePath()));

  std::filesystem::remove_all(store->filePath());
  store->synchronize();  // no change since the failed attempt
  EXPECT_TRUE(store->synchronizeWroteToDisk());
  EXPECT_EQ(plistValue("com.dodevadarud.iuuid"), "C0FFEE00-0000-4000-8000-000000000000");
  DVCRUserDefaultsResetForTesting();
  EXPECT_EQ(defaults()->stringForKey("com.dodevadarud.iuuid"), "C0FFEE00-0000-4000-8000-000000000000");
}

}  // namespace
}  // namespace dvcr_testing
