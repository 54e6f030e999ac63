#include "Platform/Foundation/ProcessInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace ns {
namespace {

TEST(ProcessInfo, ArgumentsStartAsTheCommandLineAndFollowTheProgram) {
  ProcessInfo& info = ProcessInfo::processInfo();
  std::vector<std::string> original = info.arguments();
  ASSERT_FALSE(original.empty());
  EXPECT_NE(original.front().find("Foundation_tests"), std::string::npos) << original.front();

  info.setArguments({"quillbox", "-ZOVLoggerForceSTDERR"});
  EXPECT_EQ(info.arguments(), (std::vector<std::string>{"quillbox", "-ZOVLoggerForceSTDERR"}));
  info.setArguments(original);
}

TEST(ProcessInfo, EnvironmentIsTheOneTheProcessStartedWith) {
  const auto& environment = ProcessInfo::processInfo().environment();
  const char* path = std::getenv("PATH");
  ASSERT_NE(path, nullptr);
  ASSERT_TRUE(environment.contains("PATH"));
  EXPECT_EQ(environment.at("PATH"), path);
  // Read once: a variable set later is not seen.
  ::setenv("QUILLBOX_PROCESS_INFO_LATE", "1", 1);
  EXPECT_FALSE(ProcessInfo::processInfo().environment().contains("QUILLBOX_PROCESS_INFO_LATE"));
  ::unsetenv("QUILLBOX_PROCESS_INFO_LATE");
}

TEST(ProcessInfo, VersionFollowsTheDevice) {
  struct Case {
    const char* systemVersion;
    OperatingSystemVersion version;
    bool atLeast14;
  } cases[] = {
      {"16.0", {16, 0, 0}, true},  {"17.2.1", {17, 2, 1}, true}, {"14", {14, 0, 0}, true},
      {"13.7", {13, 7, 0}, false}, {"9.3.5", {9, 3, 5}, false},  {"", {0, 0, 0}, false},
  };
  for (const auto& c : cases) {
    DeviceFacts facts;
    facts.systemVersion = c.systemVersion;
    testing::TemporaryDevice device(facts);
    OperatingSystemVersion v = ProcessInfo::processInfo().operatingSystemVersion();
    EXPECT_EQ(v.majorVersion, c.version.majorVersion) << c.systemVersion;
    EXPECT_EQ(v.minorVersion, c.version.minorVersion) << c.systemVersion;
    EXPECT_EQ(v.patchVersion, c.version.patchVersion) << c.systemVersion;
    EXPECT_EQ(ProcessInfo::processInfo().isOperatingSystemAtLeastVersion({14, 0, 0}), c.atLeast14) << c.systemVersion;
  }
  EXPECT_FALSE(ProcessInfo::processInfo().isPhoneAppOnDesktop());
}

}  // namespace
}  // namespace ns
