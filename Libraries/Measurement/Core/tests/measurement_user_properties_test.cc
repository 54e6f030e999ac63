// The engine's user properties on its worker queue, on a real database
// read back with sqlite3: the limits, the user ID's effects, "_npa", the
// readers and the session ID.
#include <gtest/gtest.h>

#include <future>

#include "Libraries/Measurement/Core/tests/EngineTestSupport.h"

namespace msr_testing {
namespace {

class MSRMeasurementUserPropertiesTest : public EngineTest {
 protected:
  std::shared_ptr<MSRUserAttribute> property(const std::string& name, const MSRValue& value,
                                             const std::string& origin = "app") {
    auto made = MSRUserAttribute::initWithOrigin(origin, name, value, kNow);
    EXPECT_NE(made, nullptr) << name;
    return made;
  }
  // Sets through the public road and waits for the worker queue.
  void set(const std::shared_ptr<MSRUserAttribute>& attribute) {
    engine_->setUserAttribute(attribute);
    flush();
  }
  static std::string names() { return query("SELECT group_concat(name, ',') FROM (SELECT name FROM user_attributes ORDER BY name)"); }
};

TEST_F(MSRMeasurementUserPropertiesTest, TwentyFivePublicPropertiesRefuseANewOneButChangeTheirValues) {
  startEngine();
  for (int i = 0; i < 25; ++i) set(property("p" + std::to_string(i), str("v")));
  ASSERT_EQ(query("SELECT count(*) FROM user_attributes"), "25");
  set(property("p25", str("v")));
  EXPECT_EQ(query("SELECT count(*) FROM user_attributes WHERE name = 'p25'"), "0");
  EXPECT_EQ(countOf(23084), 1);
  EXPECT_EQ(storedErrorCodes(), std::vector<std::string>{"9"});
  set(property("p3", str("changed")));
  EXPECT_EQ(query("SELECT value FROM user_attributes WHERE name = 'p3'"), "changed");
  EXPECT_EQ(countOf(23084), 1);
}

TEST_F(MSRMeasurementUserPropertiesTest, EveryOriginKeepsTwentyFiveInternalProperties) {
  startEngine();
  for (const char* origin : {"auto", "crx"}) {
    for (int i = 0; i < 26; ++i) set(property("_" + std::string(origin) + std::to_string(i), i64(i), origin));
  }
  EXPECT_EQ(query("SELECT origin, count(*) FROM user_attributes GROUP BY origin ORDER BY origin"), "auto|25\ncrx|25");
  EXPECT_EQ(countOf(23084), 2);
  for (const char* origin : {"app", "auto", "fa", "crash"}) {
    std::promise<int64_t> answer;
    engine_->maxUserPropertiesForOrigin(origin, [&answer](int64_t n) { answer.set_value(n); });
    EXPECT_EQ(answer.get_future().get(), 25) << origin;
  }
}

TEST_F(MSRMeasurementUserPropertiesTest, ChangingTheUserIDRemovesTheAdvertisingIDResetButSettingItAgainDoesNot) {
  startEngine();
  set(property("_id", str("a")));
  set(property("_lair", i64(1), "auto"));
  set(property("_id", str("a")));
  EXPECT_EQ(names(), "_id,_lair");
  set(property("_id", str("b")));
  EXPECT_EQ(names(), "_id");
  set(property("_lair", i64(1), "auto"));
  set(property("_id", str("b")));
  EXPECT_EQ(names(), "_id,_lair");
  engine_->removeUserAttribute(property("_id", str("b")));
  flush();
  EXPECT_EQ(names(), "_lair");
  EXPECT_EQ(countOf(23078), 1);
}

TEST_F(MSRMeasurementUserPropertiesTest, PersonalisedAdsFollowThePersistedSwitchThenTheInfoPlist) {
  struct Case {
    const char* what;
    std::optional<ns::Value> persisted, info;
    const char* stored;
  } cases[] = {
      {"nothing anywhere", std::nullopt, std::nullopt, ""},
      {"Info.plist disallows", std::nullopt, ns::Value(false), "1"},
      {"Info.plist allows", std::nullopt, ns::Value(true), "0"},
      {"Info.plist holds no number", std::nullopt, ns::Value("NO"), "0"},
      {"the persisted switch wins", ns::Value(true), ns::Value(false), "0"},
      {"persisted disallow", ns::Value(false), std::nullopt, "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Dictionary info = this->info();
    if (c.info) info.set("ZORORI_ANALYTICS_DEFAULT_ALLOW_AD_PERSONALIZATION_SIGNALS", *c.info);
    installMainBundle(info);
    config_->setAllowPersonalizedAds(c.persisted);
    if (!engine_) startEngine();
    // A stale value is there to be replaced or removed.
    onWorker([&] { engine_->setUserPropertyInDatabaseOnWorkerQueue(property("_npa", i64(7), "auto")); });
    onWorker([&] { engine_->setPersonalizedAdsUserPropertyOnWorkerQueue(); });
    EXPECT_EQ(query("SELECT value FROM user_attributes WHERE name = '_npa'"), c.stored);
  }
  EXPECT_EQ(countOf(23180), 1) << "removed when nothing says";
}

TEST_F(MSRMeasurementUserPropertiesTest, TheReaderTypesValuesAndLeavesInternalOnesOutUnlessAsked) {
  startEngine();
  set(property("plan", str("gold")));
  set(property("score", MSRValue::initWithDouble(2.5)));
  set(property("_sno", i64(3), "auto"));
  for (bool internal : {false, true}) {
    std::promise<ns::Dictionary> answer;
    engine_->userPropertiesIncludingInternal(internal, [&answer](ns::Dictionary d) { answer.set_value(std::move(d)); });
    ns::Dictionary properties = answer.get_future().get();
    ASSERT_NE(properties.find("plan"), nullptr);
    EXPECT_EQ(*properties.find("plan"), ns::Value("gold"));
    ASSERT_NE(properties.find("score"), nullptr);
    EXPECT_TRUE(properties.find("score")->isReal());
    EXPECT_EQ(properties.find("score")->doubleValue(), 2.5);
    const ns::Value* sessionNumber = properties.find("_sno");
    EXPECT_EQ(sessionNumber != nullptr, internal);
    if (sessionNumber) {
      EXPECT_TRUE(sessionNumber->isInteger());
      EXPECT_EQ(sessionNumber->integerValue(), 3);
    }
  }
  std::promise<std::shared_ptr<MSRUserAttribute>> one;
  engine_->userAttributeWithName("plan", [&one](std::shared_ptr<MSRUserAttribute> a) { one.set_value(a); });
  auto plan = one.get_future().get();
  ASSERT_NE(plan, nullptr);
  EXPECT_EQ(plan->value(), str("gold"));
}

// Expired at will.
class ExpiringReporter : public MSRSessionReporter {
 public:
  ExpiringReporter() : MSRSessionReporter(nullptr) {}
  bool isSessionExpired() const override { return true; }
};

TEST_F(MSRMeasurementUserPropertiesTest, TheSessionIDOrWhyThereIsNone) {
  startEngine();
  auto sessionID = [](MSRMeasurement& engine) {
    std::promise<std::pair<int64_t, std::string>> answer;
    engine.sessionIDWithCompletion([&answer](int64_t id, std::optional<ns::Error> error) {
      answer.set_value({id, error ? std::to_string(error->code()) + " " + error->localizedDescription() : "none"});
    });
    auto future = answer.get_future();
    dispatch::RunLoop::main().runUntil(
        [&future] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 600);
    return future.get();
  };
  // A session runs, as after the start's session start.
  engine_->sessionReporter()->updatePropertiesForNewSessionStart();
  EXPECT_EQ(sessionID(*engine_), std::make_pair(int64_t{0}, std::string("13 Session ID not found")));
  set(property("_sid", i64(1699999000), "auto"));
  EXPECT_EQ(sessionID(*engine_), std::make_pair(int64_t{1699999000}, std::string("none")));
  MSRMeasurementSetSessionReporterForTesting(*engine_, std::make_shared<ExpiringReporter>());
  EXPECT_EQ(sessionID(*engine_), std::make_pair(int64_t{0}, std::string("13 Session expired")));
  engine_->setEnabled(false);
  flush();
  EXPECT_EQ(sessionID(*engine_), std::make_pair(int64_t{0}, std::string("13 Analytics disabled")));
  set(property("_id", str("x")));
  EXPECT_EQ(countOf(23081), 1) << "nothing is set while disabled";

  // The engine is gone before its queued lookup runs.
  auto scheduler = engine_->scheduler();
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  scheduler->scheduleOnWorkerQueueBlockID("test", [released] { released.wait(); });
  std::promise<std::string> answer;
  engine_->sessionIDWithCompletion([&answer](int64_t, std::optional<ns::Error> error) {
    answer.set_value(error ? error->localizedDescription() : "none");
  });
  MSRMeasurementForgetSharedInstanceForTesting();
  engine_.reset();
  release.set_value();
  EXPECT_EQ(answer.get_future().get(), "Analytics deallocated");
}

}  // namespace
}  // namespace msr_testing
