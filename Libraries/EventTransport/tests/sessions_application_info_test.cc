// The application facts the sessions part reads: the run environment from
// the process environment, the versions from Info.plist, and the device
// facts reported by their system-control names.
#include <gtest/gtest.h>

#include "Libraries/EventTransport/Sessions/ApplicationInfo.h"
#include "Libraries/EventTransport/Sessions/ZOVSESUtilities.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace {

ApplicationInfo makeInfo(std::map<std::string, std::string> environment, std::optional<ns::Dictionary> info = {}) {
  return ApplicationInfo("1:123:ios:abc", std::make_shared<NetworkInfo>(), std::move(environment), std::move(info));
}

TEST(SessionsApplicationInfoTest, RunEnvironmentIsOneOfThreeNamesElseProd) {
  const std::pair<std::optional<std::string>, const char*> cases[] = {
      {std::nullopt, "prod"},       {"staging", "staging"}, {"  STAGING \t", "staging"}, {"AutoPush", "autopush"},
      {"prod", "prod"},             {"", "prod"},           {"test", "prod"},            {"stag ing", "prod"},
      {"staging\n", "prod"},  // a line break is not a blank
  };
  for (const auto& [value, expected] : cases) {
    std::map<std::string, std::string> environment{{"HOME", "/home/someone"}};
    if (value) environment[kApplicationInfoRunEnvironmentVariable] = *value;
    EXPECT_EQ(makeInfo(environment).environment(), expected) << value.value_or("(none)");
  }
  EXPECT_EQ(makeInfo({}).environment(), "prod");
}

TEST(SessionsApplicationInfoTest, VersionsAreInfoPlistStringsElseEmpty) {
  ApplicationInfo full = makeInfo({}, ns::Dictionary{{"CFBundleVersion", ns::Value("118")},
                                                     {"CFBundleShortVersionString", ns::Value("2.4")}});
  EXPECT_EQ(full.appBuildVersion(), "118");
  EXPECT_EQ(full.appDisplayVersion(), "2.4");
  EXPECT_EQ(full.appID(), "1:123:ios:abc");

  ApplicationInfo wrongType = makeInfo({}, ns::Dictionary{{"CFBundleVersion", ns::Value(118)}});
  EXPECT_EQ(wrongType.appBuildVersion(), "");
  EXPECT_EQ(wrongType.appDisplayVersion(), "");
  for (const auto& missing : {makeInfo({}), makeInfo({}, ns::Dictionary{})}) {
    EXPECT_EQ(missing.appBuildVersion(), "");
    EXPECT_EQ(missing.appDisplayVersion(), "");
  }
}

TEST(SessionsApplicationInfoTest, SystemControlNamesReadTheDeviceFacts) {
  ns::DeviceFacts facts;
  facts.modelIdentifier = "iPad13,4";
  facts.systemBuildVersion = "21C62";
  ns::testing::TemporaryDevice device(facts);
  EXPECT_EQ(ZOVSESSysctlString("hw.machine"), "iPad13,4");
  EXPECT_EQ(ZOVSESSysctlString("kern.osversion"), "21C62");
  for (const char* unknown : {"hw.model", "kern.osrelease", "", "hw.machine "})
    EXPECT_EQ(ZOVSESSysctlString(unknown), std::nullopt) << unknown;

  facts.systemBuildVersion = "";
  device.device().setFacts(facts);
  EXPECT_EQ(ZOVSESSysctlString("kern.osversion"), std::nullopt);
}

}  // namespace
