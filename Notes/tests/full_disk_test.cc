// A disk that fills while the app runs, on a real small file system (a
// tmpfs of 3 MiB, mounted in a mount namespace of the test's own, so it
// goes when the last child ends): a save that fails is said to the person
// with the store's error, what they wrote stays and is saved by the next
// save that can be written, and a launch on a full disk says the disk is
// full. Each launch is a child process; the namespace holds them all.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Notes/tests/DiskChildRun.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace {

using notes::testing::child;
using notes::testing::runOnSmallDisk;

class FullDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Mounting needs the privilege of root (as CI has); elsewhere there is
    // no small file system to fill.
    if (!notes::testing::canMountSmallDisk())
      GTEST_SKIP() << "needs root to mount a small file system";
  }
  std::string mountPoint() { return scratch_.path("small-disk"); }

  ns::testing::TemporaryDevice scratch_;
};

TEST_F(FullDiskTest, AFailedSaveIsSaidAndWhatWasWrittenIsSavedOnceThereIsRoom) {
  std::filesystem::create_directories(mountPoint());
  std::string output;
  ASSERT_TRUE(runOnSmallDisk(mountPoint(), {child("read"), child("write"), child("read")}, &output)) << output;
  const size_t added = output.find("--- added"), left = output.find("--- left");
  ASSERT_LT(added, left) << output;
  const std::string alert = output.substr(added, left - added);
  EXPECT_NE(alert.find("Your changes could not be saved"), std::string::npos) << alert;
  EXPECT_NE(alert.find("couldn\u2019t be saved because there isn\u2019t enough space."), std::string::npos) << alert;
  EXPECT_NE(alert.find("Quillbox keeps your changes and saves them as soon as it can."), std::string::npos);
  // Said once: the next failed save, on leaving the note, shows no second alert.
  const std::string afterLeaving = output.substr(left, output.rfind("=== read") - left);
  EXPECT_EQ(afterLeaving.find("Your changes could not be saved"), std::string::npos) << afterLeaving;
  EXPECT_NE(afterLeaving.find("Written on a full disk"), std::string::npos) << "listed" << afterLeaving;
  const std::string reread = output.substr(output.rfind("=== read"));
  EXPECT_NE(reread.find("Written on a full disk"), std::string::npos) << output;
}

TEST_F(FullDiskTest, ALaunchOnAFullDiskSaysTheDiskIsFull) {
  std::filesystem::create_directories(mountPoint());
  std::string output;
  ASSERT_TRUE(runOnSmallDisk(mountPoint(), {child("read"), child("full"), child("read")}, &output)) << output;
  const std::string full = output.substr(output.find("=== full"), output.rfind("=== read") - output.find("=== full"));
  EXPECT_NE(full.find("Your notes could not be opened"), std::string::npos) << full;
  EXPECT_NE(full.find("couldn\u2019t be opened because there isn\u2019t enough space."), std::string::npos) << full;
  EXPECT_EQ(full.find("disk I/O error"), std::string::npos) << full;
  // Nothing was changed: the store opens again as it was once there is room.
  EXPECT_NE(output.substr(output.rfind("=== read")).find("This is your first note."), std::string::npos) << output;
}

}  // namespace
