// The program's own arguments and the app's: --version prints the app's
// version (the one Settings shows, also in the banner), and arguments with
// one dash after the options reach the app as its launch arguments.
#include <gtest/gtest.h>

#include "Apps/quillbox/tests/ProgramRun.h"

namespace quillbox::testing {
namespace {

constexpr const char* kAppVersion = "2.6 (26)";

TEST(HostArgumentsTest, VersionPrintsTheAppsOwnVersionAndTheBannerShowsIt) {
  DeviceDirectory device;
  auto version = runProgram(device.path(), "screen\n", {"--version"});
  EXPECT_EQ(version.exitCode, 0) << version.errors;
  EXPECT_EQ(version.output, std::string("Quillbox ") + kAppVersion + "\n");

  auto run = runProgram(device.path(), "quit\n");
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.output.rfind(std::string("Quillbox ") + kAppVersion + " on a phone", 0), 0u) << run.output;
}

TEST(HostArgumentsTest, OneDashArgumentsAreTheAppsLaunchArguments) {
  // The core logger keeps debug mode asked for at launch in the standard
  // defaults; an argument nothing reads is taken all the same.
  const std::string defaults = "App/Library/Preferences/tavrix.Pennalo.plist";
  struct Case {
    std::vector<std::string> arguments;
    bool debugStored;
  };
  const Case cases[] = {
      {{}, false},
      {{"-ZOVDebugEnabled"}, true},
      {{"-VOZIzizuzoveDebugEnabled", "-ZOVLoggerForceSTDERR", "-ZOVDebugEnabled"}, true},
      {{"-SomeKey", "some value", "-ZOVDebugDisabled"}, false},
  };
  for (const auto& c : cases) {
    DeviceDirectory device;
    auto run = runProgram(device.path(), "quit\n", c.arguments);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    std::string stored = readWholeFile(device.path(defaults));
    EXPECT_EQ(stored.find("/zorori/dozaveve/debug_mode") != std::string::npos, c.debugStored)
        << (c.arguments.empty() ? "no argument" : c.arguments.front());
  }
}

}  // namespace
}  // namespace quillbox::testing
