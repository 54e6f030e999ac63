// When the engine uploads: the next upload time from the stored data and
// the upload history, the timer moved through whole schedules by the
// virtual clock, the suspension, reachability and the app's lifecycle.
#include <gtest/gtest.h>

#include <future>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/testing/MSRAnalyticsTesting.h"
#include "Libraries/Measurement/Core/tests/UploadTestSupport.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace {

using msr_testing::UploadTest;

class MSRMeasurementScheduleTest : public UploadTest {
 protected:
  double next() {
    double at = 0;
    worker([&] { at = engine_->nextUploadingTime(); });
    return at;
  }
  void updateSchedule() {
    worker([&] { engine_->updateSchedule(); });
  }
};

TEST_F(MSRMeasurementScheduleTest, TheNextUploadFollowsTheNewestDataAndTheUploadHistory) {
  const double E = kNow - 5;
  struct Case {
    const char* what;
    double lastSuccess, lastFailure;
    bool debug;
    double expected;
  } cases[] = {
      {"no upload yet", 0, 0, false, E + 15},
      {"a success 100 s ago", kNow - 100, 0, false, kNow - 100 + 3600},
      {"debug mode", 0, 0, true, E + 1},
      {"a failure after the data: the first rung past it", 0, E + 100, false, E + 15 + 1800},
      {"a failure past two rungs", 0, E + 15 + 1800 + 10, false, E + 15 + 1800 + 3600},
      {"a failure past all six rungs", 0, E + 15 + 1800 * 63 + 1, false, 0},
      {"a failure before the data", 0, E - 1, false, E + 15},
  };
  store({event("level_up", E)});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    persistedConfig_->setLastSuccessfulUploadTimestamp(c.lastSuccess);
    persistedConfig_->setLastFailedUploadTimestamp(c.lastFailure);
    MSRMeasurement::monitor()->setDebugModeEnabled(c.debug);
    EXPECT_DOUBLE_EQ(next(), c.expected);
  }
  MSRMeasurement::monitor()->setDebugModeEnabled(false);
  persistedConfig_->setLastFailedUploadTimestamp(0);
  // Newer data than the failure starts the ladder over.
  store({event("level_up", kNow + 7200)});
  EXPECT_DOUBLE_EQ(next(), kNow - 7200 + 15) << "a newest time ahead of the clock counts as that far back";
}

// An event handled after start arms the timer itself: without it, an
// event logged into an empty database (such as the crash event of the
// launch after a crash) waited for some other cause to upload.
TEST_F(MSRMeasurementScheduleTest, AHandledEventArmsTheUploadTimer) {
  EXPECT_FALSE(timer()) << "nothing stored, nothing armed";
  auto handled = MSREvent::initWithOrigin("app", true, "level_up", kNow, 0, {});
  worker([&] { engine_->handleEventOnWorkerQueue(handled); });
  ASSERT_TRUE(timer());
  EXPECT_DOUBLE_EQ(*timer(), kNow + 15);
}

TEST_F(MSRMeasurementScheduleTest, ABackoffHoldsUploadsTwelveHoursAndAnEarlierTimerIsKept) {
  store({event("level_up", kNow - 5)});
  persistedConfig_->setLastBackoffTimestamp(kNow - 3600);
  updateSchedule();
  ASSERT_TRUE(timer());
  EXPECT_DOUBLE_EQ(*timer(), kNow - 3600 + 43200);

  // A timer armed 10 s ahead stays when the new time lies 60 s ahead.
  persistedConfig_->setLastBackoffTimestamp(0);
  persistedConfig_->setLastSuccessfulUploadTimestamp(kNow - 3540);
  worker([&] { engine_->alarm()->cancel(); });
  worker([&] { engine_->alarm()->runAfterDelay(10, [] {}); });
  const size_t kept = count(23027);
  updateSchedule();
  EXPECT_DOUBLE_EQ(*timer(), kNow + 10);
  EXPECT_EQ(count(23027), kept + 1);
  // With none armed, the 60 s one is.
  worker([&] { engine_->alarm()->cancel(); });
  updateSchedule();
  EXPECT_DOUBLE_EQ(*timer(), kNow + 60);
}

TEST_F(MSRMeasurementScheduleTest, FailedUploadsClimbTheRetryLadderThenWaitForNewData) {
  server_->route("/a", net::testing::Answer{.status = 500});
  const double E = kNow;
  store({event("level_up", E)});
  updateSchedule();
  // Each upload fails at the moment it fires: 15 s after the data, then
  // 1,800, 3,600, 7,200, 14,400, 28,800 and 57,600 s after the previous.
  std::vector<double> fired;
  for (int i = 0; i < 20; ++i) {
    auto due = timer();
    if (!due) break;
    ns::Clock::advance(*due - now());
    ASSERT_TRUE(waitFor(23043, fired.size() + 1));
    fired.push_back(now() - E);
  }
  EXPECT_EQ(fired, (std::vector<double>{15, 1815, 5415, 12615, 27015, 55815, 113415}));
  EXPECT_EQ(server_->requestCount(), 7u) << "the configuration expired meanwhile is not fetched while bundles wait";
  EXPECT_DOUBLE_EQ(next(), 0);
  EXPECT_EQ(sql("SELECT retry_count FROM queue"), "7");
  EXPECT_TRUE(count(23025) >= 1) << "no next uploading time";

  // Data newer than the last failure starts over at its own time + 15 s.
  ns::Clock::advance(1);
  store({event("level_up", now())});
  updateSchedule();
  ASSERT_TRUE(timer());
  EXPECT_DOUBLE_EQ(*timer() - now(), 15);
}

TEST_F(MSRMeasurementScheduleTest, ASuspensionHoldsTheTimerForAnHourOfUptime) {
  store({event("level_up", kNow - 5)});
  engine_->setSuspendedUploadTimestamp(MSRTimeSinceBoot());
  ns::Clock::advance(600);
  updateSchedule();
  EXPECT_FALSE(timer());
  EXPECT_EQ(count(23023), 1u);
  // After an hour of uptime it is over (a success just now keeps the
  // timer an hour ahead, so it does not fire at once).
  ns::Clock::advance(2999);
  updateSchedule();
  EXPECT_EQ(count(23023), 2u) << "a second short of the hour";
  ns::Clock::advance(2);
  persistedConfig_->setLastSuccessfulUploadTimestamp(now());
  updateSchedule();
  EXPECT_EQ(engine_->suspendedUploadTimestamp(), 0);
  EXPECT_TRUE(timer());
  // Suspended uploads do not run either.
  engine_->setSuspendedUploadTimestamp(MSRTimeSinceBoot());
  worker([&] { engine_->uploadData(); });
  EXPECT_EQ(count(23033), 0u);
}

TEST_F(MSRMeasurementScheduleTest, OfflineTheEngineWaitsForReachabilityThenUploads) {
  setOnline(false);
  store({event("level_up", kNow)});
  updateSchedule();
  EXPECT_FALSE(timer());
  EXPECT_EQ(count(23026), 1u);
  worker([&] { engine_->uploadData(); });
  EXPECT_EQ(count(23035), 1u) << "an upload asked for offline does nothing";
  setOnline(true);
  worker([] {});
  ASSERT_TRUE(timer()) << "the reachability change re-ran the schedule";
  ns::Clock::advance(*timer() - now());
  ASSERT_TRUE(waitFor(23044, 1));
  auto sent = batches();
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].bundles.size(), 1u);
  EXPECT_EQ(sent[0].bundles[0].eventNames(), std::vector<std::string>{"level_up"});
  EXPECT_EQ(sql("SELECT count(*) FROM queue") + sql("SELECT count(*) FROM raw_events"), "00");
  EXPECT_FALSE(timer()) << "nothing left to send";
  EXPECT_DOUBLE_EQ(persistedConfig_->lastSuccessfulUploadTimestamp(), now());
}

TEST_F(MSRMeasurementScheduleTest, LeavingTheForegroundUploadsUnderABackgroundTask) {
  // The upload goes through the analytics operation queue, open once
  // analytics has started.
  MSRAnalytics::unsuspendOperationQueue();
  auto& application = ui::Application::shared();
  auto& center = ns::NotificationCenter::defaultCenter();
  store({event("level_up", kNow)});
  // Hold the worker queue so the task is seen before the upload ends it.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  engine_->scheduler()->workerQueue()->async([released] { released.wait(); });
  center.post(ui::kApplicationWillResignActiveNotification);
  EXPECT_EQ(application.runningBackgroundTasks(), std::vector<std::string>{"MSRAnalyticsMeasurementBackgroundTask"});
  EXPECT_NE(engine_->backgroundUpdateTask(), ui::kBackgroundTaskInvalid);
  release.set_value();
  ASSERT_TRUE(waitFor(23044, 1)) << "the upload ran without the timer";
  EXPECT_EQ(batchSizes(), std::vector<size_t>{1});
  EXPECT_TRUE(application.runningBackgroundTasks().empty()) << "nothing left: the task ends";
  EXPECT_EQ(engine_->backgroundUpdateTask(), ui::kBackgroundTaskInvalid);

  // Back in the foreground before an offline upload could run: the task
  // ends there.
  setOnline(false);
  std::promise<void> release2;
  std::shared_future<void> released2 = release2.get_future().share();
  engine_->scheduler()->workerQueue()->async([released2] { released2.wait(); });
  center.post(ui::kApplicationWillResignActiveNotification);
  EXPECT_EQ(application.runningBackgroundTasks().size(), 1u);
  center.post(ui::kApplicationWillEnterForegroundNotification);
  EXPECT_TRUE(application.runningBackgroundTasks().empty());
  EXPECT_TRUE(count(23142) >= 1);
  release2.set_value();
  worker([] {});
  MSRAnalyticsResetForTesting();
}

}  // namespace
