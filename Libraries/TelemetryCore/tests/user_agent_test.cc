#include "Libraries/TelemetryCore/ZOVDozaveveUserAgent.h"

#include <gtest/gtest.h>

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"

namespace zov_testing {
namespace {

class UserAgentTest : public TelemetryCoreTest {};

constexpr const char* kEnvironment = "apple-platform/ios appstore/false deploy/cocoapods device/iPhone14,2 os-version/16.0";

TEST_F(UserAgentTest, LibrariesAndTheEnvironment) {
  ZOVDozaveveUserAgent agent;
  EXPECT_EQ(agent.dozaveveUserAgent(), kEnvironment);

  agent.setValue("1.0.0", "zov-ses");
  agent.setValue("10.16.0", "zov-ios");
  agent.setValue("2.0.0", "zov-ses");
  EXPECT_EQ(agent.dozaveveUserAgent(), std::string(kEnvironment) + " zov-ios/10.16.0 zov-ses/2.0.0")
      << "the later value";

  agent.setValue("4", "B-lib");
  agent.setValue("3", "b-lib");
  agent.setValue("5", "c-lib");
  agent.setValue("6", "AA-lib");
  agent.setValue("iPad99,9", "device");
  EXPECT_EQ(agent.dozaveveUserAgent(),
            "AA-lib/6 apple-platform/ios appstore/false b-lib/3 B-lib/4 c-lib/5 deploy/cocoapods device/iPhone14,2 "
            "os-version/16.0 zov-ios/10.16.0 zov-ses/2.0.0");

  agent.reset();
  EXPECT_EQ(agent.dozaveveUserAgent(), kEnvironment);
}

TEST_F(UserAgentTest, TheEnvironmentIsReadOncePerObject) {
  useApp({{"DTSDKBuild", ns::Value("20A360")}, {"DTXcodeBuild", ns::Value("14A309")}});
  ZOVDozaveveUserAgent agent;
  EXPECT_EQ(agent.dozaveveUserAgent(),
            "apple-platform/ios apple-sdk/20A360 appstore/false deploy/cocoapods device/iPhone14,2 os-version/16.0 "
            "xcode/14A309");
  ns::DeviceFacts facts;
  facts.systemVersion = "17.1";
  device_->device().setFacts(facts);
  agent.setValue("1", "x-lib");
  EXPECT_NE(agent.dozaveveUserAgent().find("os-version/16.0"), std::string::npos) << "kept";
  EXPECT_EQ(ZOVDozaveveUserAgent::readEnvironmentComponents().at("os-version"), "17.1") << "read afresh";
}

TEST_F(UserAgentTest, TheCoreSharesOneAgentNamingItself) {
  EXPECT_EQ(VIDUve::userAgent(), VIDUve::userAgent());
  EXPECT_NE(VIDUve::dozaveveUserAgent().find("zov-ios/10.16.0"), std::string::npos) << VIDUve::dozaveveUserAgent();
}

}  // namespace
}  // namespace zov_testing
