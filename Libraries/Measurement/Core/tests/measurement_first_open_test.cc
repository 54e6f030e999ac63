// The app's own lifecycle on the virtual clock with the real database:
// first open and its user properties, the session start, engagement, the
// ad-network registration, app and system updates, a prewarmed launch and
// the first open after a data reset. A relaunch is a new engine over the
// same device.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Core/tests/LaunchTestSupport.h"
#include "Libraries/Measurement/Storage/MSRKeychainWrapper.h"
#include "Platform/Foundation/Device.h"
#include "Platform/StoreKit/AdNetwork.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Scene.h"

namespace msr_testing {
namespace {

class MSRMeasurementFirstOpenTest : public FirstLaunchTest {
 protected:
  // Reports a first open again on the running engine, as after an install
  // with these facts: the stored "_fot" and "_fi" go first.
  LaunchedEvent firstOpenAgain() {
    onWorker([&] {
      ns::Error error;
      engine_->database()->deleteUserAttributeWithName("_fot", &error);
      engine_->database()->deleteUserAttributeWithName("_fi", &error);
      engine_->reportFirstOpenOnWorkerQueue();
    });
    flush();
    auto all = events("_f");
    return all.empty() ? LaunchedEvent{} : all.back();
  }
  void setOriginalVersion(const std::string& version) {
    auto facts = ns::Device::current().facts();
    facts.originalAppVersion = version;
    ns::Device::current().setFacts(facts);
  }
};

TEST_F(MSRMeasurementFirstOpenTest, FirstOpenThenASecondStartAfterAnUpdate) {
  const size_t registrations = sk::AdNetwork::registrationCount();
  MSRAnalytics::setDeferredAnalyticsCollection(ns::Value(true));
  launch(kTenTwenty);

  auto fot = property("_fot");
  ASSERT_NE(fot, nullptr);
  EXPECT_EQ(fot->value().int64Value(), 1700046000000) << "11:00:00 of the same day";
  EXPECT_EQ(fot->lastSetTimestamp(), kTenTwenty);
  auto fi = property("_fi");
  ASSERT_NE(fi, nullptr);
  EXPECT_EQ(fi->value().int64Value(), 1);
  EXPECT_EQ(config_->firstOpenTimestampMilliseconds(), 1700043600000);

  EXPECT_EQ(names(), (std::vector<std::string>{"_f", "_s", "_e"}));
  auto f = events("_f").at(0);
  EXPECT_EQ(f.timestampMillis, 1700043600000);
  EXPECT_EQ(f.params["_pfo"], "0");
  EXPECT_EQ(f.params["_uwa"], "0");
  EXPECT_EQ(f.params["_dac"], "1");
  EXPECT_EQ(f.params["_o"], "auto");
  EXPECT_FALSE(f.has("_et")) << "efficient engagement is off";
  EXPECT_FALSE(f.has("_pzmp"));
  auto s = events("_s").at(0);
  EXPECT_EQ(s.params["_sid"], "1700043600");
  EXPECT_EQ(s.params["_sno"], "1");
  auto e = events("_e").at(0);
  EXPECT_EQ(e.params["_et"], "1");
  EXPECT_EQ(e.timestampMillis, 1700043600000);
  EXPECT_EQ(sk::AdNetwork::registrationCount(), registrations + 1);
  EXPECT_EQ(engine_->previousFirstOpenCount(), std::optional<std::string>("1")) << "the stored first open counts";
  EXPECT_FALSE(config_->loadTimestampValue()) << "the load time is used up";

  // A later launch of another version on another system: no first open,
  // "_fot" untouched, a new session, and both updates.
  config_->setAppVersion("1.0");
  config_->setOSVersion("15.0");
  quit();
  launch(kTenTwenty + 7200);
  EXPECT_EQ(events("_f").size(), 1u);
  EXPECT_EQ(property("_fot")->value().int64Value(), 1700046000000);
  EXPECT_EQ(property("_fot")->lastSetTimestamp(), kTenTwenty);
  auto sessions = events("_s");
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[1].params["_sid"], "1700050800");
  EXPECT_EQ(sessions[1].params["_sno"], "2");
  auto au = events("_au");
  ASSERT_EQ(au.size(), 1u);
  EXPECT_EQ(au[0].params["_pv"], "1.0");
  EXPECT_EQ(config_->appVersion(), std::optional<std::string>("2.3.4"));
  auto ou = events("_ou");
  ASSERT_EQ(ou.size(), 1u);
  EXPECT_EQ(ou[0].params["_po"], "15.0");
  EXPECT_EQ(sk::AdNetwork::registrationCount(), registrations + 1) << "only a first open registers";

  // Nothing changed since: no further update events.
  quit();
  launch(kTenTwenty + 9000);
  EXPECT_EQ(events("_au").size(), 1u);
  EXPECT_EQ(events("_ou").size(), 1u);
}

TEST_F(MSRMeasurementFirstOpenTest, FirstOpenParametersFollowTheInstallAndTheFlags) {
  launch(kTenTwenty);
  ASSERT_EQ(events("_f").size(), 1u);
  struct Case {
    const char* what;
    std::optional<std::string> keychainCount;
    std::string originalVersion;
    const char* settings;
    const char* fi;
    const char* uwa;
    const char* pfo;
    bool et;
    bool engagement;
  } cases[] = {
      {"the first version installed", std::nullopt, "", "", "1", "0", "0", false, true},
      {"an update installed over an older version", std::nullopt, "1.0", "", "0", "1", "0", false, true},
      {"a reinstall (keychain count 1)", "1", "1.0", "", "1", "0", "1", false, true},
      {"efficient engagement", std::nullopt, "",
       "settings { name: \"measurement.collection.efficient_engagement_reporting_enabled\" value: \"1\" }", "1",
       "0", "0", true, true},
      {"redundant engagement removal", std::nullopt, "",
       "settings { name: \"measurement.collection.redundant_engagement_removal_enabled\" value: \"1\" }", "1", "0",
       "0", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.keychainCount) {
      MSRKeychainWrapper::upsertKeychainValue(*c.keychainCount, "_pfo", kBundleIdentifier);
    } else {
      MSRKeychainWrapper::deleteKeychainValueWithIdentifier("_pfo", kBundleIdentifier);
    }
    setOriginalVersion(c.originalVersion);
    applyConfig(*c.settings ? c.settings : "settings { name: \"test.unused\" value: \"1\" }");
    size_t engagements = events("_e").size();
    auto f = firstOpenAgain();
    EXPECT_EQ(f.params["_pfo"], c.pfo);
    EXPECT_EQ(f.params["_uwa"], c.uwa);
    EXPECT_EQ(std::to_string(property("_fi")->value().int64Value()), c.fi);
    EXPECT_EQ(f.has("_et"), c.et);
    auto e = events("_e");
    ASSERT_EQ(e.size(), engagements + (c.engagement ? 1 : 0));
    if (c.engagement) EXPECT_EQ(e.back().has("_fr"), c.et);
  }
}

class MSRMeasurementFirstOpenOptOutTest : public MSRMeasurementFirstOpenTest {
 protected:
  ns::Dictionary info() override {
    auto info = MSRMeasurementFirstOpenTest::info();
    info["ZORORI_ANALYTICS_REGISTRATION_WITH_AD_NETWORK_ENABLED"] = ns::Value(false);
    return info;
  }
};

TEST_F(MSRMeasurementFirstOpenOptOutTest, TheInfoPlistSwitchKeepsTheAppFromRegistering) {
  const size_t registrations = sk::AdNetwork::registrationCount();
  launch(kTenTwenty);
  EXPECT_EQ(events("_f").size(), 1u);
  EXPECT_EQ(sk::AdNetwork::registrationCount(), registrations);
  EXPECT_EQ(countOf(23217), 1);
}

TEST_F(MSRMeasurementFirstOpenTest, APrewarmedLaunchStartsItsSessionWithTheFirstScene) {
  launch(kTenTwenty);
  const size_t sessions = events("_s").size();
  onWorker([&] { engine_->reportSessionStartWhenSceneWillConnectOnWorkerQueue(); });
  EXPECT_EQ(events("_s").size(), sessions) << "no session before a scene";
  ui::Application::shared().connectScene(std::make_shared<ui::Scene>("first"));
  flush();
  EXPECT_EQ(events("_s").size(), sessions + 1);
  ui::Application::shared().connectScene(std::make_shared<ui::Scene>("second"));
  flush();
  EXPECT_EQ(events("_s").size(), sessions + 1) << "only the first scene starts one";
}

TEST_F(MSRMeasurementFirstOpenTest, AResetWhileEnabledIsFollowedByAFirstOpenNamingThePreviousApp) {
  launch(kTenTwenty);
  // The app ID the configure step last persisted.
  config_->setAppIDFromZMP(std::string(kAppID));
  ns::Clock::useVirtual(ns::Date::fromUnixTime(kTenTwenty + 3600));
  MSRAnalytics::resetAnalyticsData();
  flush();
  EXPECT_EQ(names(), std::vector<std::string>{}) << "the reset emptied the database";
  engine_->setEnabled(true);
  flush();
  auto f = events("_f");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].params["_pzmp"], kAppID);
  EXPECT_EQ(f[0].params["_pfo"], "1") << "the first install's open counts";
  EXPECT_EQ(f[0].timestampMillis, static_cast<int64_t>((kTenTwenty + 3600) * 1000));
}

TEST_F(MSRMeasurementFirstOpenTest, RoundingUpToTheNextHour) {
  struct Case {
    int64_t in, out;
  } cases[] = {{1700043600000, 1700046000000}, {1700046000000, 1700049600000}, {0, 3600000},
               {std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::max()}};
  for (const auto& c : cases) EXPECT_EQ(MSRMeasurement::timestampMillisRoundedUpToNextHour(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace msr_testing
