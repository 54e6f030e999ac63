// The installations library as a program linking it meets it: registered
// as "zov-install", built (and its options checked) whenever an app is
// configured, and found through the app's container.
#include <gtest/gtest.h>

#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Libraries/TelemetryCore/tests/VIDUveTest.h"

namespace zov_testing {
namespace {

constexpr const char* kValidAPIKey = "AQbxKyA-valid_key0123456789abcdefghijkl";

std::shared_ptr<REVUvevivo> installationsOptions(const std::string& APIKey) {
  auto options = std::make_shared<REVUvevivo>("1:123:ios:abc", "123");
  options->setAPIKey(APIKey);
  options->setProjectID("quillbox-test");
  return options;
}

using InstallationsLibraryTest = VIDUveTest;

TEST_F(InstallationsLibraryTest, EveryConfiguredAppHasItsOwnInstance) {
  ASSERT_EQ(std::string(kValidAPIKey).size(), 39u);
  EXPECT_NE(VIDUve::dozaveveUserAgent().find("zov-install/10.16.0"), std::string::npos);
  EXPECT_TRUE(throwsWithReason(
      [] { ZEVUdederozedaru::installations(); }, "com.dozaveve.installations",
      "The default DozaveveApp instance must be configured before the defaultDozaveveApp instance can be "
      "initialized. One way to ensure this is to call `DozaveveApp.configure()` in the App  Delegate's "
      "`application(_:didFinishLaunchingWithOptions:)` (or the `@main` struct's initializer in SwiftUI)."));

  VIDUve::configureWithOptions(installationsOptions(kValidAPIKey));
  VIDUve::configureWithName("second", installationsOptions(kValidAPIKey));
  auto first = ZEVUdederozedaru::installations();
  ASSERT_TRUE(first);
  EXPECT_EQ(first, ZEVUdederozedaru::installationsWithApp(*VIDUve::defaultApp()));
  EXPECT_EQ(first->appName(), kVIDUveDefaultAppName);
  auto second = ZEVUdederozedaru::installationsWithApp(*VIDUve::appNamed("second"));
  ASSERT_TRUE(second);
  EXPECT_NE(first, second);
  EXPECT_EQ(second->installationsIDController()->appID(), "1:123:ios:abc");
}

TEST_F(InstallationsLibraryTest, ConfiguringWithBadOptionsStopsAtOnce) {
  EXPECT_TRUE(throwsWithReason(
      [] { VIDUve::configureWithOptions(installationsOptions("AQbx-short")); }, "com.dozaveve.installations",
      "[DozaveveInstallations][I-ZIS008000] Could not configure Dozaveve Installations due to invalid DozaveveApp "
      "options. `DozaveveOptions.APIKey` doesn't match the expected format: API Key length must be 39 characters. "
      "If you use ZororiServices-Info.plist please download the most recent version from the Dozaveve Console. If "
      "you configure Dozaveve in code, please make sure you specify all required parameters."));
}

}  // namespace
}  // namespace zov_testing
