// Links that open the app, on the virtual clock with the real database:
// which queries are campaigns, the click identifiers, "_cmpx", the event
// time, "_gbraid", the launch URL and browsing activity kept for first
// open, an old stored link, and the listeners.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Core/tests/LaunchTestSupport.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"

namespace msr_testing {
namespace {

constexpr const char* kDeepLinkKey = "/zorori/measurement/deep_link";
constexpr const char* kDeepLinkTimestampKey = "/zorori/measurement/deep_link_timestamp_seconds";

class MSRMeasurementURLTest : public FirstLaunchTest {
 protected:
  void TearDown() override {
    ui::Application::shared().reset();
    FirstLaunchTest::TearDown();
  }
  // The app goes and comes back as a new install (the keychain stays).
  void anotherInstall() {
    quit();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((databaseFile() + suffix).c_str());
    config_->clearValues();
  }
  // A URL opened while the app runs (the interceptor's road).
  void open(const std::string& url, double at) {
    engine_->handleNonFirstOpenEventURL(url, at);
    flush();
  }
};

TEST_F(MSRMeasurementURLTest, WhichLinksAreCampaignsAndWhatTheyRecord) {
  launch(kTenTwenty);
  const double later = kTenTwenty + 600;
  struct Case {
    const char* url;
    const char* event;  // "" when none
    std::map<std::string, std::string> params;
    std::vector<std::string> absent;
    int64_t refusal;  // the monitor code logged instead, 0 when none
  } cases[] = {
      {"quillbox://open?utm_content=only", "", {}, {}, 23001},
      {"quillbox://open", "", {}, {}, 23000},
      {"quillbox://open?utm_source=news&gclid=G1&dclid=D1&srsltid=S1&utm_medium=mail&utm_id=7&cis=x&unknown=u",
       "_cmp",
       {{"source", "news"}, {"medium", "mail"}, {"campaign_id", "7"}, {"_cis", "x"}},
       {"gclid", "dclid", "srsltid", "unknown", "click_timestamp"},
       0},
      {"quillbox://open?utm_campaign=spring&utm_term=&utm_source_platform=web", "_cmp",
       {{"campaign", "spring"}, {"source_platform", "web"}}, {"term"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const size_t before = events("_cmp").size();
    const int64_t refusals = c.refusal ? countOf(c.refusal) : 0;
    open(c.url, later);
    auto campaigns = events("_cmp");
    if (!*c.event) {
      EXPECT_EQ(campaigns.size(), before);
      EXPECT_EQ(countOf(c.refusal), refusals + 1);
      continue;
    }
    ASSERT_EQ(campaigns.size(), before + 1);
    const auto& e = campaigns.back();
    EXPECT_EQ(e.timestampMillis, static_cast<int64_t>(later * 1000));
    EXPECT_EQ(e.params.at("_o"), "auto");
    for (const auto& [name, value] : c.params) EXPECT_EQ(e.params.count(name) ? e.params.at(name) : "-", value) << name;
    for (const auto& name : c.absent) EXPECT_FALSE(e.has(name)) << name;
  }
}

TEST_F(MSRMeasurementURLTest, ExtrasTheEventTimeAndTheBraidProperty) {
  launch(kTenTwenty);
  // A time before the first open moves to it; {"_cc": 1} makes "_cmpx";
  // string extras join the query, numbers join as they are.
  onWorker([&] {
    engine_->handleOpenURLOnWorkerQueue("quillbox://open?gbraid=B1", 1700040000000, kTenTwenty - 3600,
                                        ns::Dictionary{{"_cc", ns::Value(1)}, {"utm_source", ns::Value("extra")},
                                                       {"ignored", ns::Value(ns::Array{})}});
  });
  flush();
  auto x = events("_cmpx");
  ASSERT_EQ(x.size(), 1u);
  EXPECT_EQ(x[0].timestampMillis, 1700043600000);
  EXPECT_EQ(x[0].params["source"], "extra");
  EXPECT_EQ(x[0].params["gbraid"], "B1");
  EXPECT_EQ(x[0].params["_cc"], "1");
  EXPECT_EQ(x[0].params["click_timestamp"], "1700040000000");
  EXPECT_FALSE(x[0].has("ignored"));
  auto braid = property("_gbraid");
  ASSERT_NE(braid, nullptr);
  EXPECT_EQ(braid->value().stringValue(), std::optional<std::string>("B1"));
  EXPECT_EQ(braid->origin(), "auto");
  EXPECT_EQ(braid->lastSetTimestamp(), kTenTwenty);
}

TEST_F(MSRMeasurementURLTest, TheWorkerQueueIsRefusedAndListenersHearOnce) {
  launch(kTenTwenty);
  std::atomic<int> heard{0};
  auto token = MSRAnalytics::addLogEventListener([&heard](std::shared_ptr<MSREvent> event) {
    if (event && event->name() == "_cmp") ++heard;
  });
  onWorker([&] { engine_->handleNonFirstOpenEventURL("quillbox://open?utm_source=w", kTenTwenty); });
  EXPECT_EQ(countOf(23163), 1);
  EXPECT_TRUE(events("_cmp").empty());

  open("quillbox://open?utm_source=once", kTenTwenty + 60);
  flush();
  EXPECT_EQ(events("_cmp").size(), 1u);
  EXPECT_EQ(heard.load(), 1);
  MSRAnalytics::removeLogEventListener(token);
}

TEST_F(MSRMeasurementURLTest, ALaunchLinkIsReportedWithTheFirstOpen) {
  struct Case {
    const char* what;
    ns::Dictionary options;
    const char* source;
  } cases[] = {
      {"a launch URL", ns::Dictionary{{ui::kLaunchOptionsURLKey, ns::Value("quillbox://open?utm_source=launch")}},
       "launch"},
      {"a browsing activity before the URL",
       ns::Dictionary{{ui::kLaunchOptionsURLKey, ns::Value("quillbox://open?utm_source=launch")},
                      {ui::kLaunchOptionsUserActivityDictionaryKey,
                       ns::Dictionary{{ui::kLaunchOptionsUserActivityKey,
                                       ui::launchOptionsValue(ui::UserActivity{
                                           ui::kUserActivityTypeBrowsingWeb,
                                           "https://quillbox.example/n?utm_source=web&utm_medium=link", {}})}}}},
       "web"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // The measurement library's load hook, as the program links it.
    auto hook = ns::NotificationCenter::defaultCenter().addObserver(
        ui::kApplicationDidFinishLaunchingNotification, nullptr, nullptr,
        [](const ns::Notification& n) { MSRMeasurement::handleStoredURLAfterAppLaunchWithNotification(n); });
    ns::Clock::useVirtual(ns::Date::fromUnixTime(kTenTwenty));
    ui::Application::shared().reset();
    ui::Application::shared().launch(c.options);
    ns::NotificationCenter::defaultCenter().removeObserver(hook);
    auto stored = MSRUserDefaults::standardUserDefaults()->objectForKey(kDeepLinkKey);
    ASSERT_TRUE(stored && stored->isString());

    launch(kTenTwenty);
    auto campaigns = events("_cmp");
    ASSERT_EQ(campaigns.size(), 1u);
    EXPECT_EQ(campaigns[0].params["source"], c.source);
    EXPECT_EQ(campaigns[0].params["click_timestamp"], "1700043599999") << "the first open's time less 1 ms";
    EXPECT_EQ(campaigns[0].params["_cc"], std::to_string(1700042400000 - 3600000)) << "the click hour less one";
    EXPECT_FALSE(MSRUserDefaults::standardUserDefaults()->objectForKey(kDeepLinkKey)) << "used up";
    anotherInstall();
  }
}

TEST_F(MSRMeasurementURLTest, AStoredLinksAgeAndATimeThatIsNoNumber) {
  struct Case {
    const char* what;
    std::optional<ns::Value> timestamp;
    const char* event;
    const char* source;
    bool clickHour;
  } cases[] = {
      {"10 days old", ns::Value(kTenTwenty - 10 * 86400), "_cmpx", "(not set)", false},
      {"an hour old", ns::Value(kTenTwenty - 3600), "_cmp", "stored", true},
      {"a time that is text", ns::Value("yesterday"), "_cmp", "stored", false},
      {"no time", std::nullopt, "_cmp", "stored", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto defaults = MSRUserDefaults::standardUserDefaults();
    defaults->setObject(ns::Value("quillbox://open?utm_source=stored"), kDeepLinkKey);
    defaults->setObject(c.timestamp, kDeepLinkTimestampKey);
    launch(kTenTwenty);
    auto campaigns = events(c.event);
    ASSERT_EQ(campaigns.size(), 1u);
    EXPECT_EQ(campaigns[0].params["source"], c.source);
    if (std::string(c.event) == "_cmpx") {
      EXPECT_EQ(campaigns[0].params["medium"], "(not set)");
      EXPECT_EQ(campaigns[0].params["_cc"], "1");
    } else {
      EXPECT_EQ(campaigns[0].has("_cc"), c.clickHour);
    }
    EXPECT_FALSE(defaults->objectForKey(kDeepLinkTimestampKey));
    anotherInstall();
  }
}

}  // namespace
}  // namespace msr_testing
