// What a run that ended in the middle of its work left on the device is
// cleaned by the next launch, a second process: the empty note that was
// open, a backup's partial archive in the temporary directory and the
// event store's temporary of an interrupted write. Nothing else there is
// touched.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "Apps/quillbox/tests/ProgramRun.h"

namespace quillbox {
namespace {

namespace fs = std::filesystem;
using testing::runProgram;

// Notes whose text is empty, as a second reader of the store file sees them.
int emptyNotesIn(const std::string& store) {
  sqlite3* db = nullptr;
  int count = -1;
  if (sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM Note WHERE string IS NULL OR trim(string) = ''", -1, &stmt,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
      count = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return count;
}

void writeFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << text;
}

TEST(HostLeftoversTest, TheNextLaunchCleansWhatAnInterruptedRunLeft) {
  testing::DeviceDirectory device;
  // A new note opened and never written: the run ends with it open.
  auto first = runProgram(device.path(), "tap AddButton-Ball\nquit\n");
  ASSERT_TRUE(first.exitedCleanly()) << first.output << first.errors;
  const std::string store = device.path("App/Documents/Notes.sqlite");
  ASSERT_EQ(emptyNotesIn(store), 1);

  const std::string partialBackup = device.path("App/tmp/6A1F6C2E-33B9-4F0B-9E7A-0C1D2E3F4A5B-4242-0000000000000001");
  writeFile(partialBackup + "/Quillbox Auto Backup 2026-01-01 10-00-00.quillbox", "PK\x03\x04 cut short");
  const std::string emptyWorkingFolder = device.path("App/tmp/0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0-4242-0000000000000002");
  fs::create_directories(emptyWorkingFolder);
  const std::string metricsTemporary =
      device.path("App/Library/Caches/zorori-sdks-events/ZTCORFlatFileStorage/vov_library_data/.metrics_metadata.Ab12Cd");
  writeFile(metricsTemporary, "half a record");
  // Not the backups' nor the event store's: kept.
  const std::string otherTemporary = device.path("App/tmp/6A1F6C2E-33B9-4F0B-9E7A-0C1D2E3F4A5B-4242-0000000000000003");
  writeFile(otherTemporary + "/notes.txt", "someone else's");

  // Nothing left for the person to do: the launch alone cleans. (Leaving
  // the empty note in the editor would delete it too.)
  auto second = runProgram(device.path(), "expect This is your first note.\nquit\n");
  ASSERT_TRUE(second.exitedCleanly()) << second.output << second.errors;
  EXPECT_EQ(emptyNotesIn(store), 0);
  EXPECT_FALSE(fs::exists(partialBackup));
  EXPECT_FALSE(fs::exists(emptyWorkingFolder));
  EXPECT_FALSE(fs::exists(metricsTemporary));
  EXPECT_TRUE(fs::exists(otherTemporary + "/notes.txt"));
}

}  // namespace
}  // namespace quillbox
