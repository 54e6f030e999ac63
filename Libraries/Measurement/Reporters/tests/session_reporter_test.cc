// Sessions and engagement on the virtual clock: the engine's own session
// reporter, driven by the application's lifecycle through the shared
// screen-view reporter, its events read back from the measurement
// database.
#include <gtest/gtest.h>

#include <thread>


#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Reporters/tests/LifecycleTestSupport.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/NavigationController.h"

namespace msr_testing {
namespace {

constexpr const char* kTimeout = "measurement.session.default_timeout_interval";
constexpr const char* kEngagementInterval = "measurement.session.event_user_engagement_interval";
constexpr const char* kEfficient = "measurement.collection.efficient_engagement_reporting_enabled";
constexpr const char* kRedundantRemoval = "measurement.collection.redundant_engagement_removal_enabled";
constexpr const char* kBackgrounded = "measurement.lifecycle.app_backgrounded_tracking";

class FolderScreen : public ui::ViewController {};
class NoteScreen : public ui::ViewController {};

class MSRSessionReporterTest : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
    startEngine();
    ASSERT_NE(sessionReporter(), nullptr);
  }
  // The reporter reads its time-out when it is made: a configuration for
  // it is applied first and the reporter made again.
  void useTimeout(const std::string& milliseconds) {
    applyConfig(settingText(kTimeout, milliseconds));
    MSRMeasurementSetSessionReporterForTesting(*engine_, MSRSessionReporter::initWithPersistedConfig(config_));
  }
  static int64_t etOfLast(const std::string& name) {
    auto events = stored(name);
    return events.empty() ? -1 : events.back().intParam("_et");
  }
};

TEST_F(MSRSessionReporterTest, EngagementIsReportedByTheTimerAndCappedAtAnHour) {
  activate();
  ASSERT_EQ(stored("_s").size(), 1u);
  // The default interval: one report an hour while in front.
  advance(3600);
  ASSERT_EQ(stored("_e").size(), 1u);
  EXPECT_EQ(etOfLast("_e"), 3600000);
  advance(1800);
  EXPECT_EQ(stored("_e").size(), 1u);

  // An interval above two hours: two hours in front report one hour.
  applyConfig(settingText(kEngagementInterval, "10800000"));
  resign();
  ASSERT_EQ(stored("_e").size(), 2u);
  EXPECT_EQ(etOfLast("_e"), 1800000);
  activate();
  advance(7200);
  EXPECT_EQ(stored("_e").size(), 2u);
  resign();
  ASSERT_EQ(stored("_e").size(), 3u);
  EXPECT_EQ(etOfLast("_e"), 3600000);
}

TEST_F(MSRSessionReporterTest, ASessionTimesOutAfterThirtyMinutesAway) {
  activate();
  background();
  advance(29 * 60);
  foreground();
  EXPECT_EQ(stored("_s").size(), 1u) << "29 minutes away go on with the session";

  background();
  advance(31 * 60);
  foreground();
  auto starts = stored("_s");
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1].intParam("_sno"), 2);
  EXPECT_EQ(starts[1].intParam("_sid"), static_cast<int64_t>(kNow) + 60 * 60);
  EXPECT_EQ(config_->sessionNumber(), 2);
}

TEST_F(MSRSessionReporterTest, AClockSetBackPastTheTimeOutEndsTheSession) {
  struct Case {
    double back;
    size_t starts;
  } cases[] = {{29 * 60, 1}, {31 * 60, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.back);
    ui::Application::shared().reset();
    MSRScreenViewReporterResetForTesting();
    ns::Clock::setWallTime(ns::Date::fromUnixTime(kNow));
    config_->setSessionNumber(0);
    config_->setLastSessionActivityClockTime(0);
    query("DELETE FROM raw_events");
    activate();
    background();
    EXPECT_FALSE(sessionReporter()->isSessionExpired());
    ns::Clock::setWallTime(ns::Date::fromUnixTime(kNow - c.back));
    EXPECT_EQ(sessionReporter()->isSessionExpired(), c.starts == 2);
    EXPECT_EQ(sessionReporter()->extendSession(), c.starts == 1);
    foreground();
    EXPECT_EQ(stored("_s").size(), c.starts);
  }
}

TEST_F(MSRSessionReporterTest, NegativeTimeOutIsZero) {
  sessionReporter()->setTimeoutSessionInterval(-5);
  EXPECT_EQ(sessionReporter()->timeoutSessionInterval(), 0);
  EXPECT_EQ(countOf(33001), 1);
  useTimeout("60000");
  EXPECT_EQ(sessionReporter()->timeoutSessionInterval(), 60);
}

TEST_F(MSRSessionReporterTest, GoingToTheBackgroundWithRedundantRemovalLogsOnlyTheBackgroundEvent) {
  struct Case {
    const char* efficient;
    int64_t abEngagement;  // -1: none
  } cases[] = {{"1", 5000}, {"0", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.efficient);
    query("DELETE FROM raw_events");
    applyConfig(settingText(kBackgrounded, "1") + settingText(kRedundantRemoval, "1") + settingText(kEfficient, c.efficient));
    activate();
    advance(5);
    background();
    auto backgrounded = stored("_ab");
    ASSERT_EQ(backgrounded.size(), 1u);
    if (c.abEngagement < 0) {
      EXPECT_FALSE(backgrounded[0].has("_et")) << backgrounded[0].text;
    } else {
      EXPECT_EQ(backgrounded[0].intParam("_et"), c.abEngagement);
    }
    EXPECT_TRUE(stored("_e").empty());
    EXPECT_FALSE(sessionReporter()->userEngagementTimer()->hasActiveTimer());
  }
  // Without redundant removal the engagement is logged, marked as a free
  // ride when efficient reporting is on.
  query("DELETE FROM raw_events");
  applyConfig(settingText(kBackgrounded, "1") + settingText(kRedundantRemoval, "0") + settingText(kEfficient, "1"));
  activate();
  advance(7);
  background();
  auto engagements = stored("_e");
  ASSERT_EQ(engagements.size(), 1u);
  EXPECT_EQ(engagements[0].intParam("_et"), 7000);
  EXPECT_EQ(engagements[0].intParam("_fr"), 1);
  EXPECT_EQ(stored("_ab").size(), 1u);
}

TEST_F(MSRSessionReporterTest, AScreenChangeReportsEngagementOnlyAfterASecond) {
  auto root = std::make_shared<FolderScreen>();
  auto navigation = std::make_shared<ui::NavigationController>(root);
  show(navigation);
  activate();
  // Half a second on the folder, then the note: no engagement.
  advance(0.5);
  navigation->pushViewController(std::make_shared<NoteScreen>(), false);
  dispatch::RunLoop::main().drain();
  flush();
  ASSERT_EQ(stored("_vs").size(), 2u);
  EXPECT_TRUE(stored("_e").empty());
  // Three seconds on the note, then back: the note's engagement.
  advance(3);
  navigation->popViewController(false);
  dispatch::RunLoop::main().drain();
  flush();
  auto engagements = stored("_e");
  ASSERT_EQ(engagements.size(), 1u);
  EXPECT_EQ(engagements[0].intParam("_et"), 3500);
  EXPECT_EQ(engagements[0].stringParam("_sc"), "NoteScreen");
}

TEST_F(MSRSessionReporterTest, TheTimerStopsWithReportingAndStartsAgainWithIt) {
  activate();
  auto timer = sessionReporter()->userEngagementTimer();
  ASSERT_TRUE(timer->scheduledTimestamp().has_value());
  sessionReporter()->setReportingEnabled(false);
  EXPECT_FALSE(timer->hasActiveTimer());
  advance(2 * 3600);
  EXPECT_TRUE(stored("_e").empty());

  sessionReporter()->setReportingEnabled(true);
  ASSERT_TRUE(timer->scheduledTimestamp().has_value());
  EXPECT_EQ(timer->scheduledTimestamp()->timeIntervalSince1970(), kNow + 3 * 3600);
  advance(3600);
  ASSERT_EQ(stored("_e").size(), 1u);
  // Whatever the reporter did not report before counts from activation.
  EXPECT_EQ(etOfLast("_e"), 3600000);
  // In the background it is not re-armed.
  background();
  sessionReporter()->setReportingEnabled(false);
  sessionReporter()->setReportingEnabled(true);
  EXPECT_FALSE(timer->hasActiveTimer());
}

TEST_F(MSRSessionReporterTest, ADirectScreenViewFromAnotherThreadReportsEngagementAndRearmsTheTimer) {
  show(std::make_shared<FolderScreen>());
  activate();
  advance(5);
  // The change is posted from the screen reporter's queue: the engagement
  // step runs there and re-arms the main queue's timer.
  std::thread logger([] { MSRAnalytics::logEventWithName("screen_view", ns::Dictionary{{"screen_name", "Tour"}}); });
  logger.join();
  flush();
  ASSERT_EQ(stored("_vs").size(), 2u);
  auto engagements = stored("_e");
  ASSERT_EQ(engagements.size(), 1u);
  EXPECT_EQ(engagements[0].intParam("_et"), 5000);
  EXPECT_EQ(engagements[0].stringParam("_sc"), "FolderScreen");
  auto timer = sessionReporter()->userEngagementTimer();
  ASSERT_TRUE(timer->scheduledTimestamp().has_value());
  EXPECT_EQ(timer->scheduledTimestamp()->timeIntervalSince1970(), kNow + 5 + 3600);
  // One firing is pending, no more.
  advance(3600);
  engagements = stored("_e");
  ASSERT_EQ(engagements.size(), 2u);
  EXPECT_EQ(engagements[1].intParam("_et"), 3600000);
  EXPECT_EQ(engagements[1].stringParam("_sn"), "Tour");
}

TEST_F(MSRSessionReporterTest, CollectionTurnsReportingOnAndOff) {
  activate();
  auto timer = sessionReporter()->userEngagementTimer();
  engine_->setEnabled(false);
  flush();
  EXPECT_FALSE(sessionReporter()->isReportingEnabled());
  EXPECT_FALSE(timer->hasActiveTimer());
  engine_->setEnabled(true);
  flush();
  EXPECT_TRUE(sessionReporter()->isReportingEnabled());
  EXPECT_TRUE(timer->hasActiveTimer());
}

TEST_F(MSRSessionReporterTest, EachEngagementTickIsPostedAndReported) {
  int ticks = 0;
  int observer = 0;
  ns::NotificationCenter::defaultCenter().addObserver(&observer, [&](const ns::Notification&) { ++ticks; },
                                                      kMSRSessionReporterEngagementTimerDidFire, nullptr);
  activate();
  advance(3 * 3600);
  ns::NotificationCenter::defaultCenter().removeObserver(&observer);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(stored("_e").size(), 3u);
}

}  // namespace
}  // namespace msr_testing
