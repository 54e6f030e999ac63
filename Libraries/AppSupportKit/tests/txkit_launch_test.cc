// The kit's launch and the lifecycle it follows, with the notes app's own
// bundle (Quillbox 2.6, build 26) on a fresh device and the virtual clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Libraries/Logging/LKLog.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/UIKit/Application.h"

namespace {

const ns::Date kStart(800000000.0);
constexpr double kDay = 86400;

class TXKitLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ns::Clock::useVirtual(kStart);
    QBRate::sharedInstance();
    pump();
    device_.emplace();
    const char* source = std::getenv("QUILLBOX_SOURCE_DIR");
    ASSERT_TRUE(source);
    ns::Bundle::setMainBundlePath(std::string(source) + "/Notes/Resources/Quillbox.app");
    QBRate::resetForTesting();
    TXConfig::sharedInstance().reset();
    dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
  }
  void TearDown() override {
    pump();
    TXConfig::sharedInstance().reset();
    QBRate::resetForTesting();
    ns::Bundle::setMainBundlePath({});
    device_.reset();
    ns::Clock::useReal();
  }
  static void pump() {
    while (dispatch::RunLoop::main().runOnce(0)) {
    }
  }
  static void launch(const std::string& token = "p4wq7z") {
    // Nothing listens there: the fetch fails at once and the kit re-applies
    // the code defaults.
    TXKit::sharedInstance().launchWithLaunchOptions({}, "http://127.0.0.1:9/none.plist", "1189034522", "", token, "",
                                                    10, {}, false, 3, 1.0f, nullptr, false, {});
  }
  static void post(const char* name) { ns::NotificationCenter::defaultCenter().post(name); }
  static std::shared_ptr<ns::UserDefaults> defaults() { return ns::UserDefaults::standardUserDefaults(); }

  std::optional<ns::testing::TemporaryDevice> device_;
};

TEST_F(TXKitLaunchTest, FirstLaunchCountsAUseAndHidesWhatsNewUntilTheVersionIsAccepted) {
  auto& kit = TXKit::sharedInstance();
  launch();
  EXPECT_EQ(kit.usesCount(), 1u);
  EXPECT_EQ(defaults()->dateForKey(TXKit::kFirstUsedKey), kStart);
  EXPECT_TRUE(TXKit::showedMessageID(TXKit::kWhatsNewMessageID)) << "a fresh install never sees what's new";
  EXPECT_TRUE(TXKit::isAppOnFirstLaunch());
  EXPECT_EQ(QBRate::sharedInstance().appStoreID(), 1189034522u);
  EXPECT_EQ(QBRate::sharedInstance().settings().usesUntilPrompt, 3u);

  ns::Clock::advance(kDay);
  EXPECT_EQ(kit.firstUsed(), kStart) << "stamped once";
  post(ui::kApplicationWillResignActiveNotification);
  post(ui::kApplicationDidEnterBackgroundNotification);
  post(ui::kApplicationWillEnterForegroundNotification);
  pump();
  EXPECT_EQ(TXKit::previousVersion(), 26);
  EXPECT_EQ(TXKit::previousVersionString(), "2.6 (26)");
  EXPECT_EQ(kit.usesCount(), 2u);

  LKLog::flushLog();
  std::vector<std::string> lifecycle;
  const std::regex line(R"(^\[[^\]]+\] [A-Za-z_:~<>() ]+,\d+: (Application\w+)$)");
  for (const auto& l : dvcr_testing::DodevadarudCallRecorder::shared().userLog()) {
    std::smatch m;
    if (std::regex_match(l, m, line)) lifecycle.push_back(m[1]);
  }
  EXPECT_EQ(lifecycle, (std::vector<std::string>{"ApplicationWillResignActive", "ApplicationDidEnterBackground",
                                                 "ApplicationWillEnterForeground"}));
}

TEST_F(TXKitLaunchTest, AnUpdateMayShowWhatsNewAgainAndStaysAnUpdateUntilAccepted) {
  defaults()->setObject(ns::Value("24"), TXKit::kLegacyVersionKey);
  TXKit::setShowedMessageID(TXKit::kWhatsNewMessageID, true);
  launch();
  EXPECT_EQ(TXKit::previousVersion(), 24);
  EXPECT_TRUE(TXKit::isAppVersionUpdated());
  EXPECT_FALSE(TXKit::showedMessageID(TXKit::kWhatsNewMessageID));
  post(ui::kApplicationWillTerminateNotification);
  pump();
  EXPECT_FALSE(TXKit::isAppVersionUpdated());
  EXPECT_EQ(defaults()->integerForKey(TXKit::kVersionKey), 26);
}

TEST(TXKitRatingsURLTest, TheTokenIsAnEncodedQueryValue) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "itms-apps://apps.store.example/app/id1189?action=write-review"},
      {"p4wq7z", "itms-apps://apps.store.example/app/id1189?action=write-review&at=p4wq7z&ct=review"},
      {"a&ct=x #y", "itms-apps://apps.store.example/app/id1189?action=write-review&at=a%26ct%3Dx%20%23y&ct=review"},
  };
  for (const auto& [token, url] : cases) EXPECT_EQ(TXKit::ratingsURLForAppStoreID(1189, token), url) << token;
}

TEST_F(TXKitLaunchTest, LaunchGivesTheSchedulerTheWriteReviewPage) {
  launch("p4wq7z");
  ASSERT_TRUE(QBRate::sharedInstance().settings().ratingsURL);
  EXPECT_EQ(QBRate::sharedInstance().settings().ratingsURL->absoluteString(),
            "itms-apps://apps.store.example/app/id1189034522?action=write-review&at=p4wq7z&ct=review");
}

TEST_F(TXKitLaunchTest, TheRemoteResetSparesAReminderOfTheLastWeek) {
  auto& rate = QBRate::sharedInstance();
  auto& config = TXConfig::sharedInstance();
  struct Case {
    const char* name;
    std::optional<double> remindedDaysAgo;
    bool cleared;
  };
  const std::vector<Case> cases = {{"no reminder", std::nullopt, true}, {"3 days ago", 3, false}, {"8 days ago", 8, true}};
  double stamp = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    rate.setRatedThisVersion(true);
    rate.setDeclinedThisVersion(true);
    rate.setLastReminded(c.remindedDaysAgo ? std::optional(ns::Clock::now().addingTimeInterval(-*c.remindedDaysAgo * kDay))
                                           : std::nullopt);
    config.setValue("rate", "reset", ns::Value(ns::Date(stamp++)));
    TXKit::sharedInstance().configFetchDependentInits();
    EXPECT_EQ(rate.ratedThisVersion(), !c.cleared);
    EXPECT_EQ(rate.declinedThisVersion(), !c.cleared);
    EXPECT_FALSE(config.rateReset()) << "the trigger was consumed";
  }
}

}  // namespace
