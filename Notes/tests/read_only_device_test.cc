// A device that cannot be written (its file system remounted read-only
// between two launches): the person is told so in the store-error alert,
// and the passcode screen comes up only when a passcode is set, as the
// keychain can still be read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Notes/tests/DiskChildRun.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace {

using notes::testing::child;
using notes::testing::runOnSmallDisk;
using notes::testing::shell;

class ReadOnlyDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!notes::testing::canMountSmallDisk()) GTEST_SKIP() << "needs root to mount a file system of its own";
    std::filesystem::create_directories(mountPoint());
  }
  std::string mountPoint() { return scratch_.path("disk"); }
  // What the launch on the read-only device showed.
  static std::string readOnlyScreen(const std::string& output) {
    const size_t at = output.find("=== screen");
    return at == std::string::npos ? "" : output.substr(at, output.rfind("=== read") - at);
  }

  ns::testing::TemporaryDevice scratch_;
};

TEST_F(ReadOnlyDeviceTest, WithoutAPasscodeThePersonIsToldTheDeviceCannotBeWritten) {
  std::string output;
  ASSERT_TRUE(runOnSmallDisk(mountPoint(),
                             {child("read"), shell("mount -o remount,ro \"$0\""), child("screen"),
                              shell("mount -o remount,rw \"$0\""), child("read")},
                             &output))
      << output;
  const std::string screen = readOnlyScreen(output);
  EXPECT_NE(screen.find("Your notes could not be opened"), std::string::npos) << output;
  EXPECT_NE(screen.find("\u201cNotes.sqlite\u201d couldn\u2019t be opened because the volume is read only."),
            std::string::npos)
      << screen;
  EXPECT_EQ(screen.find("Enter Passcode"), std::string::npos) << screen;
  // Nothing was changed: writable again, the store opens as it was.
  EXPECT_NE(output.substr(output.rfind("=== read")).find("This is your first note."), std::string::npos) << output;
}

TEST_F(ReadOnlyDeviceTest, ASetPasscodeStillLocksTheApp) {
  std::string output;
  ASSERT_TRUE(runOnSmallDisk(mountPoint(),
                             {child("read"), child("lock"), shell("mount -o remount,ro \"$0\""), child("screen")},
                             &output))
      << output;
  const std::string screen = output.substr(output.find("=== screen"));
  EXPECT_NE(screen.find("Enter Passcode"), std::string::npos) << screen;
}

}  // namespace
