// Analytics events as "$A$:" lines of the crash log, the crash event told to
// analytics, and the background and orientation keys following the
// platform's notifications, each read back from a real report folder.
#include <gtest/gtest.h>

#include "Libraries/CrashReporter/DVCRAnalyticsManager.h"
#include "Libraries/CrashReporter/DVCRNotificationManager.h"
#include "Libraries/CrashReporter/DVCRUserLoggingKeys.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Libraries/CrashReporter/tests/FakeAnalyticsInterop.h"
#include "Libraries/CrashReporter/tests/UserLoggingRecords.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/DeviceInfo.h"

namespace dvcr_testing {
namespace {

class BreadcrumbsTest : public CrashContextTest {
 protected:
  void SetUp() override {
    CrashContextTest::SetUp();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(1'700'000'000));
    buildContext();
  }
  void TearDown() override {
    CrashContextTest::TearDown();
    ns::Clock::useReal();
  }
  std::vector<std::string> logLines() {
    drainLoggingQueue();
    return decodedRecords(reportFile("log_a.dvrecord"));
  }
  ns::Dictionary internalKeys() {
    drainLoggingQueue();
    return DVCRUserLoggingGetCompactedKVEntries(&readonly_->logging.internalKVStorage, true);
  }
  std::string internalKey(const char* key) {
    ns::Dictionary keys = internalKeys();
    const ns::Value* value = keys.find(key);
    return value && value->asString() ? *value->asString() : "<none>";
  }
};

TEST_F(BreadcrumbsTest, AnAnalyticsEventBecomesOneLogLineAndTheListenerRegistersOnce) {
  auto analytics = std::make_shared<FakeAnalyticsInterop>();
  auto manager = std::make_shared<DVCRAnalyticsManager>(analytics);
  manager->registerAnalyticsListener();
  manager->registerAnalyticsListener();
  EXPECT_EQ(analytics->listenerCount("crx"), 1u);

  analytics->trigger("screen_view", {{"a", 1}});
  analytics->trigger("search", {{"term", "a/b \"c\""}});
  EXPECT_EQ(logLines(), (std::vector<std::string>{
                            R"(log $A$:{"name":"screen_view","parameters":{"a":1}} @1700000000000)",
                            R"(log $A$:{"name":"search","parameters":{"term":"a\/b \"c\""}} @1700000000000)"}));
}

TEST_F(BreadcrumbsTest, WithoutAnalyticsThereAreNoBreadcrumbs) {
  auto manager = std::make_shared<DVCRAnalyticsManager>(nullptr);
  manager->registerAnalyticsListener();
  manager->registerAnalyticsListener();
  EXPECT_EQ(::access(reportFile("log_a.dvrecord").c_str(), F_OK) == 0 ? logLines().size() : 0u, 0u);
  DVCRAnalyticsManager::logCrashWithTimeStamp(1, nullptr);  // nothing to tell, nothing breaks
}

TEST_F(BreadcrumbsTest, TheCrashEventRoundsItsMillisecondsHalvesToEven) {
  struct Case {
    double seconds;
    int64_t milliseconds;
  };
  const Case cases[] = {
      {1'700'000'000.2506, 1'700'000'000'251},  // six tenths round up
      {1.2344, 1234},
      {0.0025, 2},  // a half goes to the even neighbour
      {0.0035, 4},
  };
  auto analytics = std::make_shared<FakeAnalyticsInterop>();
  for (const Case& c : cases) DVCRAnalyticsManager::logCrashWithTimeStamp(c.seconds, analytics);
  auto logged = analytics->logged();
  ASSERT_EQ(logged.size(), std::size(cases));
  for (size_t i = 0; i < logged.size(); ++i) {
    EXPECT_EQ(logged[i].origin, "crx");
    EXPECT_EQ(logged[i].name, "_ae");
    EXPECT_EQ(logged[i].parameters, (ns::Dictionary{{"timestamp", cases[i].milliseconds}, {"fatal", 1}}))
        << cases[i].seconds;
  }
}

TEST_F(BreadcrumbsTest, BackgroundAndOrientationKeysFollowTheNotifications) {
  // The observers stay for the life of the process, as in the app.
  static DVCRNotificationManager notifications;
  static bool registered = false;
  if (!registered) {
    notifications.registerNotificationListener();
    registered = true;
  } else {
    notifications.captureInitialNotificationStates();
  }
  EXPECT_EQ(internalKey(kDVCRInBackgroundKey), "0");
  EXPECT_EQ(internalKey(kDVCRDeviceOrientationKey), "1");
  EXPECT_EQ(internalKey(kDVCRUIOrientationKey), "1");

  auto& application = ui::Application::shared();
  application.enterBackground();
  EXPECT_EQ(internalKey(kDVCRInBackgroundKey), "1");
  application.enterForeground();
  EXPECT_EQ(internalKey(kDVCRInBackgroundKey), "0");

  // Turning the device left turns the interface right, which has the
  // same number.
  ui::DeviceInfo::current().setOrientation(ns::DeviceOrientation::LandscapeLeft);
  EXPECT_EQ(internalKey(kDVCRDeviceOrientationKey), "3");
  EXPECT_EQ(internalKey(kDVCRUIOrientationKey), "3");
  ui::DeviceInfo::current().setOrientation(ns::DeviceOrientation::PortraitUpsideDown);
  EXPECT_EQ(internalKey(kDVCRUIOrientationKey), "2");
  ui::DeviceInfo::current().setOrientation(ns::DeviceOrientation::FaceUp);
  EXPECT_EQ(internalKey(kDVCRDeviceOrientationKey), "5");
  EXPECT_EQ(internalKey(kDVCRUIOrientationKey), "1");
}

}  // namespace
}  // namespace dvcr_testing
