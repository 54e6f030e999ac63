// The program's end, run as a person ends it: a note written, automatic
// backups on, then quit at once while the backup may still be running.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <vector>

#include "Apps/quillbox/tests/ProgramRun.h"

namespace quillbox {
namespace {

namespace fs = std::filesystem;
using testing::runProgram;
using testing::shellQuoted;

constexpr const char* kBackupsDirectory = "App/Documents/backups.Notes";

// Whether the program ended cleanly, and every archive left is whole.
::testing::AssertionResult quitRightAfterASave() {
  testing::DeviceDirectory device;
  auto run = runProgram(device.path(), "set NTSettingsAutoBackup YES\ntap AddButton-Ball\ntype Hello\nquit\n");
  if (!run.exitedCleanly())
    return ::testing::AssertionFailure() << "exit " << run.exitCode << ", signal " << run.signal << "\n" << run.errors;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(device.path(kBackupsDirectory), ec)) {
    std::string check = "unzip -tqq " + shellQuoted(entry.path().string()) + " >/dev/null 2>&1";
    if (std::system(check.c_str()) != 0) return ::testing::AssertionFailure() << entry.path() << " is no whole archive";
  }
  return ::testing::AssertionSuccess();
}

TEST(HostExitTest, QuittingRightAfterASaveEndsCleanlyWithAWholeBackupOrNone) {
  // Four at a time: the program's end races its own backup, not the others.
  constexpr int kLanes = 4, kRunsPerLane = 5;
  std::vector<std::future<std::vector<::testing::AssertionResult>>> lanes;
  for (int lane = 0; lane < kLanes; ++lane) {
    lanes.push_back(std::async(std::launch::async, [] {
      std::vector<::testing::AssertionResult> results;
      for (int i = 0; i < kRunsPerLane; ++i) results.push_back(quitRightAfterASave());
      return results;
    }));
  }
  for (auto& lane : lanes)
    for (const auto& result : lane.get()) EXPECT_TRUE(result);
}

// A device that cannot be made is said so and ends the program with status
// 1, every time: nothing it started on its queues outlives main.
TEST(HostExitTest, ADeviceThatCannotBeMadeEndsWithStatusOneEveryTime) {
  testing::DeviceDirectory scratch;
  const std::string file = scratch.path("a file"), errors = scratch.path("errors");
  std::ofstream(file) << "not a directory";
  const std::string cases[] = {file, file + "/below a file", "/proc/quillbox-device"};
  for (const auto& device : cases) {
    for (int run = 0; run < 20; ++run) {
      std::string command = shellQuoted(QUILLBOX_BINARY_DIR "/Apps/quillbox/quillbox") + " --device " +
                            shellQuoted(device) + " </dev/null >/dev/null 2>" + shellQuoted(errors);
      int status = std::system(command.c_str());
      std::string said = testing::readWholeFile(errors);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1)
          << device << ", run " << run << ": status " << status << "\n" << said;
      ASSERT_NE(said.find("cannot make the device in"), std::string::npos) << said;
    }
  }
}

}  // namespace
}  // namespace quillbox
