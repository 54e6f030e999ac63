// What the crash reporter keeps between launches, read by the next process
// (tests/state_child on one device): the install UUID and the cached
// settings with their cache key.
#include <gtest/gtest.h>

#include <filesystem>

#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace {

TEST(CrashReporterRelaunchTest, TheInstallUUIDAndTheCachedSettingsAreReadByTheNextLaunch) {
  ns::testing::TemporaryDevice device;
  std::string bundle = device.path("App.app");
  std::filesystem::create_directories(bundle);
  ASSERT_TRUE(ns::writePropertyListFile(ns::Value(ns::Dictionary{{"CFBundleIdentifier", ns::Value("com.tavrix.Quillbox")},
                                                                  {"CFBundleVersion", ns::Value("7")},
                                                                  {"CFBundleShortVersionString", ns::Value("1.7")}}),
                                        bundle + "/Info.plist", ns::PropertyListFormat::XML, nullptr));
  auto launch = [&](const std::string& command) {
    int status = 0;
    std::string out = ns::testing::runCommand(
        std::string(DVCR_STATE_CHILD) + " '" + device.directory() + "' '" + bundle + "' " + command + " 2>/dev/null",
        &status);
    EXPECT_EQ(status, 0) << out;
    return out;
  };
  std::string written = launch("write");
  ASSERT_NE(written.find("settings 7200 no fresh\n"), std::string::npos) << written;
  ASSERT_EQ(written.rfind("iuuid ", 0), 0u) << written;
  EXPECT_GT(written.find('\n'), 6u + 30u) << "a UUID: " << written;
  for (int relaunch = 0; relaunch < 2; ++relaunch) {
    EXPECT_EQ(launch("read"), written) << "the same install UUID and the cached settings";
  }
}

}  // namespace
