// The analytics connector of the other telemetry libraries and the
// conditional user properties behind it: the origin rules, the engine's
// events reaching listeners on the main queue, and properties that
// trigger, time out and expire on the virtual clock over the real database.
#include <gtest/gtest.h>

#include <mutex>

#include "Libraries/Measurement/Core/MSRConditionalUserPropertyController.h"
#include "Libraries/Measurement/Core/VOZIzizuzove.h"
#include "Libraries/Measurement/Core/VOZIzizuzoveConnector.h"
#include "Libraries/Measurement/Core/ZOVConnectorUtils.h"
#include "Libraries/Measurement/Core/tests/EngineTestSupport.h"

namespace {

using msr_testing::EngineTest;
using msr_testing::str;

TEST(ZOVConnectorUtilsTest, OriginEventParameterAndUserPropertyRules) {
  struct Case {
    const char* rule;
    bool answer;
    bool expected;
  } cases[] = {
      {"origin crx", ZOVConnectorUtils::isOriginAllowed("crx"), true},
      {"origin app", ZOVConnectorUtils::isOriginAllowed("app"), false},
      {"origin auto", ZOVConnectorUtils::isOriginAllowed("auto"), false},
      {"origin am", ZOVConnectorUtils::isOriginAllowed("am"), false},
      {"app origin app", ZOVConnectorUtils::isAppOrigin("app"), true},
      {"app origin app+x", ZOVConnectorUtils::isAppOrigin("app+x"), true},
      {"app origin apple", ZOVConnectorUtils::isAppOrigin("apple"), false},
      {"listener crx", ZOVConnectorUtils::isListenerOriginAllowed("crx"), true},
      {"listener zcm", ZOVConnectorUtils::isListenerOriginAllowed("zcm"), false},
      {"hidden _exp_set", ZOVConnectorUtils::isEventNameAllowedForListeners("_exp_set"), false},
      {"shown _ae", ZOVConnectorUtils::isEventNameAllowedForListeners("_ae"), true},
      {"empty name", ZOVConnectorUtils::shouldLogEventWithName("", {}), false},
      {"event _s", ZOVConnectorUtils::shouldLogEventWithName("_s", {}), false},
      {"event _ae", ZOVConnectorUtils::shouldLogEventWithName("_ae", {{"fatal", 1}}), true},
      {"parameter _r", ZOVConnectorUtils::shouldLogEventWithName("_ae", {{"_r", 1}}), false},
      {"parameter _dbg", ZOVConnectorUtils::shouldLogEventWithName("x", {{"_dbg", 1}}), false},
      {"_ln from zcm", ZOVConnectorUtils::isUserPropertyAllowed("_ln", "zcm"), true},
      {"_ln from crx", ZOVConnectorUtils::isUserPropertyAllowed("_ln", "crx"), false},
      {"_fot", ZOVConnectorUtils::isUserPropertyAllowed("_fot", "zcm"), false},
      {"_ltv_USD", ZOVConnectorUtils::isUserPropertyAllowed("_ltv_USD", "zcm"), false},
      {"_cc3", ZOVConnectorUtils::isUserPropertyAllowed("_cc3", "ziam"), false},
      {"_ltv_usd", ZOVConnectorUtils::isUserPropertyAllowed("_ltv_usd", "crx"), true},
      {"plain property", ZOVConnectorUtils::isUserPropertyAllowed("level", "crx"), true},
      {"query _fot", ZOVConnectorUtils::isUserPropertyAllowedForQuery("_fot"), true},
      {"query _ln", ZOVConnectorUtils::isUserPropertyAllowedForQuery("_ln"), false},
      {"query level", ZOVConnectorUtils::isUserPropertyAllowedForQuery("level"), true},
      {"query empty", ZOVConnectorUtils::isUserPropertyAllowedForQuery(""), false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.answer, c.expected) << c.rule;
}

class Heard : public VOZIzizuzoveInteropListener {
 public:
  void messageTriggered(const std::string& name, const ns::Dictionary& parameters) override {
    EXPECT_TRUE(dispatch::isMainThread());
    std::lock_guard lock(mutex_);
    names_.push_back(name);
    last_ = parameters;
  }
  std::vector<std::string> names() {
    std::lock_guard lock(mutex_);
    return names_;
  }
  ns::Dictionary last() {
    std::lock_guard lock(mutex_);
    return last_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> names_;
  ns::Dictionary last_;
};

class VOZIzizuzoveConnectorTest : public EngineTest {
 protected:
  // Until the connector and the main queue passed on what the engine told.
  void deliver() {
    flush();
    VOZIzizuzoveConnector::connectorQueue()->sync([] {});
    dispatch::RunLoop::main().drain();
  }
  std::shared_ptr<VOZIzizuzoveConnector> connector_ = std::make_shared<VOZIzizuzoveConnector>();
};

TEST_F(VOZIzizuzoveConnectorTest, EventsReachTheEngineUnderTheOriginRules) {
  startEngine();
  connector_->logEventWithOrigin("crx", "_ae", {{"fatal", 1}});
  connector_->logEventWithOrigin("app", "dropped_app", {});
  connector_->logEventWithOrigin("auto", "dropped_auto", {});
  connector_->logEventWithOrigin("zcm", "dropped_dbg", {{"_dbg", 1}});
  connector_->logEventWithOrigin("ziam", "_cmp", {{"source", "s"}});
  flush();
  EXPECT_EQ(rawEventNames(), "_ae\n_cmp");
  EXPECT_NE(decodedEvent(1).find("\"_r\""), std::string::npos);
  EXPECT_NE(decodedEvent(1).find("\"crx\""), std::string::npos);
  EXPECT_NE(decodedEvent(2).find("ziam_integration"), std::string::npos);
}

TEST_F(VOZIzizuzoveConnectorTest, ListenersHearTheirOriginAndAppOriginsOnTheMainQueue) {
  startEngine();
  auto first = std::make_shared<Heard>();
  auto second = std::make_shared<Heard>();
  connector_->registerAnalyticsListener(first, "crx");
  connector_->registerAnalyticsListener(std::make_shared<Heard>(), "zcm");  // not a listener origin
  flush();
  auto tell = [](const std::string& origin, const std::string& name, const MSRValueMap& parameters = {}) {
    VOZIzizuzove::notifyEventListeners(MSREvent::initWithOrigin(origin, false, name, 1, 0, parameters));
  };
  tell("crx", "_ae", {{"n", msr_testing::i64(3)}, {"d", MSRValue::initWithDouble(1.5)}, {"items",
       MSRValue::initWithArray({{{"a", str("b")}}})}});
  tell("app", "from_app");
  tell("crx", "_exp_set");
  tell("ziam", "not_theirs");
  deliver();
  EXPECT_EQ(first->names(), (std::vector<std::string>{"_ae", "from_app"}));
  EXPECT_EQ(first->last().size(), 1u) << "only \"_o\" of the app event";

  connector_->registerAnalyticsListener(second, "crx");
  tell("crx", "again");
  deliver();
  EXPECT_EQ(first->names().size(), 2u);
  EXPECT_EQ(second->names(), (std::vector<std::string>{"again"}));

  ASSERT_NE(connector_->logEventListener(), nullptr);
  connector_->unregisterAnalyticsListenerWithOrigin("crx");
  EXPECT_EQ(connector_->logEventListener(), nullptr);
  tell("app", "after");
  deliver();
  EXPECT_EQ(second->names().size(), 1u);

  monitor_.clear();
  std::make_shared<VOZIzizuzoveConnector>()->unregisterAnalyticsListenerWithOrigin("crx");
  MSRMonitorWaitForTesting();
  EXPECT_TRUE(monitor_.contains(25013));
}

TEST_F(VOZIzizuzoveConnectorTest, SimplifiedParametersLeaveArraysOut) {
  auto simplified = VOZIzizuzoveConnector::simplifiedParametersFromEventParameters(
      {{"n", msr_testing::i64(3)}, {"d", MSRValue::initWithDouble(1.5)}, {"s", str("t")},
       {"a", MSRValue::initWithArray({{{"a", str("b")}}})}});
  EXPECT_EQ(simplified, (ns::Dictionary{{"n", 3}, {"d", 1.5}, {"s", "t"}}));
}

TEST_F(VOZIzizuzoveConnectorTest, MaxUserPropertiesWaitsTenSecondsBeforeStart) {
  std::atomic<int> answer{-1};
  std::thread caller([&] { answer = connector_->maxUserProperties("crx"); });
  while (answer == -1) {
    ns::Clock::advance(1);
    std::this_thread::yield();
  }
  caller.join();
  EXPECT_EQ(answer.load(), 0);
  startEngine();
  EXPECT_EQ(connector_->maxUserProperties("crx"), 25);
}

class MSRConditionalUserPropertyControllerTest : public VOZIzizuzoveConnectorTest {
 protected:
  ns::Dictionary property(const std::string& name, const std::string& trigger, double timeout = 60,
                          double ttl = 3600) {
    ns::Dictionary made{{"name", name},           {"origin", "ziam"},   {"value", "on"},
                        {"triggerTimeout", timeout}, {"timeToLive", ttl},
                        {"triggeredEvent", ns::Dictionary{{"origin", "ziam"}, {"name", "_exp_activate"}}},
                        {"timedOutEvent", ns::Dictionary{{"origin", "ziam"}, {"name", "_exp_timeout"}}},
                        {"expiredEvent", ns::Dictionary{{"origin", "ziam"}, {"name", "_exp_expire"}}}};
    if (!trigger.empty()) made.set("triggerEventName", trigger);
    return made;
  }
  std::string attribute(const std::string& name) {
    return query("SELECT origin FROM user_attributes WHERE name = '" + name + "'");
  }
};

TEST_F(MSRConditionalUserPropertyControllerTest, TimeoutAndTimeToLiveBounds) {
  startEngine();
  struct Case {
    double timeout, ttl;
    int64_t refusal;
  } cases[] = {{0.0005, 60, 11000}, {15552001, 60, 11000}, {60, 0.0005, 11001}, {60, 15552001, 11001},
               {0.001, 60, 0},      {15552000, 60, 0},     {60, 0.001, 0},      {60, 15552000, 0}};
  int stored = 0;
  for (const auto& c : cases) {
    monitor_.clear();
    connector_->setConditionalUserProperty(property("p" + std::to_string(stored + 100), "go", c.timeout, c.ttl));
    flush();
    if (c.refusal) {
      EXPECT_EQ(countOf(c.refusal), 1) << c.timeout << " " << c.ttl;
    } else {
      ++stored;
      EXPECT_EQ(countOf(11000) + countOf(11001), 0) << c.timeout << " " << c.ttl;
    }
    EXPECT_EQ(query("SELECT count(*) FROM conditional_properties"), std::to_string(stored));
  }
}

TEST_F(MSRConditionalUserPropertyControllerTest, ActiveAtOnceTriggeredTimedOutAndExpired) {
  startEngine();
  connector_->setConditionalUserProperty(property("now", ""));
  flush();
  EXPECT_EQ(attribute("now"), "ziam");
  EXPECT_EQ(rawEventNames(), "_exp_activate");
  // Set again while active: the activation stays, no second event.
  ns::Clock::advance(10);
  auto again = property("now", "");
  again.set("value", "off");
  connector_->setConditionalUserProperty(again);
  flush();
  EXPECT_EQ(rawEventNames(), "_exp_activate");
  EXPECT_EQ(query("SELECT active, triggered_timestamp = creation_timestamp FROM conditional_properties"), "1|1");

  connector_->setConditionalUserProperty(property("waits", "go", 60));
  connector_->setConditionalUserProperty(property("late", "never", 5));
  flush();
  ns::Clock::advance(30);
  handle(event("go"));
  EXPECT_EQ(attribute("waits"), "ziam");
  EXPECT_EQ(attribute("late"), "");
  // For one event: timed-out first, then the event, then what it triggered.
  EXPECT_EQ(rawEventNames(), "_exp_activate\n_exp_timeout\ngo\n_exp_activate");
  EXPECT_EQ(query("SELECT name FROM conditional_properties ORDER BY name"), "now\nwaits");

  ns::Clock::advance(4000);
  handle(event("tick"));
  EXPECT_EQ(attribute("now"), "");
  EXPECT_EQ(attribute("waits"), "");
  EXPECT_EQ(query("SELECT count(*) FROM conditional_properties"), "0");
  EXPECT_EQ(rawEventNames(), "_exp_activate\n_exp_timeout\ngo\n_exp_activate\n_exp_expire\n_exp_expire\ntick");

  auto found = connector_->conditionalUserProperties("ziam", "");
  EXPECT_TRUE(found.empty());
}

TEST_F(MSRConditionalUserPropertyControllerTest, ClearingAndQuerying) {
  startEngine();
  monitor_.clear();
  connector_->clearConditionalUserProperty("", "ziam", "_exp_clear", {{"never", "x"}});
  flush();
  EXPECT_EQ(countOf(11018), 1);
  EXPECT_EQ(rawEventNames(), "");

  connector_->setConditionalUserProperty(property("kept", "go"));
  flush();
  auto found = connector_->conditionalUserProperties("ziam", "ke");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0], (ns::Dictionary{{"name", "kept"}, {"value", "on"}}));
  EXPECT_TRUE(connector_->conditionalUserProperties("crx", "").empty());
  connector_->clearConditionalUserProperty("", "ziam", "_exp_clear", {{"kept", "x"}});
  flush();
  EXPECT_EQ(rawEventNames(), "_exp_clear");
  EXPECT_EQ(query("SELECT count(*) FROM conditional_properties"), "0");
}

TEST_F(MSRConditionalUserPropertyControllerTest, AFailedStoreLeavesNoAttributeNorEvent) {
  startEngine();
  query("CREATE TRIGGER refuse BEFORE INSERT ON conditional_properties BEGIN SELECT RAISE(ABORT, 'refused'); END");
  monitor_.clear();
  connector_->setConditionalUserProperty(property("broken", ""));
  flush();
  EXPECT_EQ(countOf(11014), 1);
  EXPECT_EQ(attribute("broken"), "");
  EXPECT_EQ(rawEventNames(), "");
}

}  // namespace
