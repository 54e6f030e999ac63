// The experiments manager: flag reads through the activated snapshot, the
// launched one and the defaults; activation; staleness; refusals.
#include <gtest/gtest.h>

#include <cmath>

#include "Libraries/Measurement/Reporters/tests/ExperimentTestSupport.h"

namespace msr_testing {
namespace {

constexpr const char* kSDK = "app_measurement";

class MSREManagerTest : public ExperimentTest {
 protected:
  void SetUp() override {
    ExperimentTest::SetUp();
    manager_ = makeManager();
  }
  std::shared_ptr<MSREClient> registerClient(const ns::Dictionary& defaults,
                                             std::optional<std::string> diversionKey = std::nullopt) {
    auto property = std::make_shared<MSRESDKProperty>(kSDK);
    property->setDiversionKey(std::move(diversionKey));
    auto client = manager_->registerSDKProperty(property, defaults);
    manager_->dispatchSyncOnSerialQueue([] {});
    return client;
  }
  // Hands the snapshot over as a fetch would, for a client without
  // delegate: it waits as pending.
  void deliver(const std::string& text) {
    auto snapshot = snapshotFromText(text);
    ASSERT_NE(snapshot, nullptr);
    manager_->taskManagerDidFinishFetchingExperimentSnapshots(*manager_->taskManager(), {snapshot}, {});
    manager_->dispatchSyncOnSerialQueue([] {});
  }

  std::shared_ptr<MSREManager> manager_;
};

TEST_F(MSREManagerTest, AFlagFallsThroughActivatedLaunchedAndDefaults) {
  auto client = registerClient(ns::Dictionary{{"a", 1}, {"b", "text"}, {"c", 3}, {"on", true}, {"off", false}});
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->valueForFlag("a"), ns::Value(1)) << "before any snapshot: the default";
  // A boolean default is stored as an integer flag.
  for (const char* name : {"on", "off"}) {
    auto value = (*client).objectForKeyedSubscript(name);
    ASSERT_TRUE(value.has_value()) << name;
    EXPECT_TRUE(value->isInteger()) << name;
    EXPECT_EQ(value->integerValue(), std::string(name) == "on" ? 1 : 0);
  }

  deliver(R"(sdk_name: "app_measurement"
             experiments { experiment_id: 7 flags { name: "a" int_value: 5 } flags { name: "c" } }
             experiments { experiment_id: 0 flags { name: "c" string_value: "launched" } flags { name: "b" double_value: 2.5 } }
             experiments { experiment_id: 3 })");
  EXPECT_EQ(client->valueForFlag("a"), ns::Value(1)) << "a pending snapshot is not in force";
  ns::Error error;
  ASSERT_TRUE(client->activateLatestSnapshot(&error));

  struct Case {
    const char* flag;
    std::optional<ns::Value> expected;
  };
  for (const Case& c : std::vector<Case>{{"a", ns::Value(5)},           // activated
                                         {"c", ns::Value("launched")},  // activated without value: launched
                                         {"b", ns::Value(2.5)},         // launched
                                         {"on", ns::Value(1)},          // default
                                         {"missing", std::nullopt}}) {
    EXPECT_EQ(client->valueForFlag(c.flag), c.expected) << c.flag;
  }
  EXPECT_EQ(messagesWithCode(800014).size(), 1u) << "the flag no level has";
  // Experiment 0 is launched, not activated; one without flags is absent.
  EXPECT_EQ(manager_->experimentIDs(), std::vector<int64_t>{7});
  EXPECT_FALSE(client->activateLatestSnapshot(&error)) << "the pending snapshot was used up";
  EXPECT_EQ(messagesWithCode(800023).size(), 1u);
}

TEST_F(MSREManagerTest, RegisteringTwiceReplacesClientAndDefaults) {
  auto first = registerClient(ns::Dictionary{{"a", 1}, {"gone", 1}});
  auto second = registerClient(ns::Dictionary{{"a", 2}});
  EXPECT_EQ(messagesWithCode(800003).size(), 1u);
  EXPECT_EQ(manager_->clientForSDKName(kSDK), second);
  EXPECT_EQ(first->valueForFlag("a"), ns::Value(2)) << "reads go by name";
  EXPECT_EQ(first->valueForFlag("gone"), std::nullopt);
}

TEST_F(MSREManagerTest, StalenessCountsThreeDaysEitherWay) {
  auto client = registerClient(ns::Dictionary{{"a", 1}});
  EXPECT_EQ(manager_->activatedSnapshotStatusOfSDKName(kSDK), MSRESnapshotStatusNoSnapshot);
  deliver(R"(sdk_name: "app_measurement" experiments { experiment_id: 7 flags { name: "a" int_value: 5 } })");
  ASSERT_TRUE(client->activateLatestSnapshot(nullptr));
  for (double offset : {259200.0, 259201.0, -259200.0, -259201.0, 0.0}) {
    ns::Clock::setWallTime(ns::Date::fromUnixTime(kExperimentNow + offset));
    bool stale = std::fabs(offset) > 259200;
    EXPECT_EQ(manager_->activatedSnapshotStatusOfSDKName(kSDK), stale ? MSRESnapshotStatusStale : MSRESnapshotStatusFresh)
        << offset;
    EXPECT_EQ(client->hasStaleSnapshot(), stale) << offset;
  }
  EXPECT_EQ(manager_->activatedSnapshotStatusOfSDKName("unregistered"), MSRESnapshotStatusInvalidSDK);

  client->resetToDefaults();
  EXPECT_EQ(client->valueForFlag("a"), ns::Value(1));
  EXPECT_EQ(manager_->activatedSnapshotStatusOfSDKName(kSDK), MSRESnapshotStatusNoSnapshot);
}

TEST_F(MSREManagerTest, AClientWithItsOwnDiversionKeyContributesNoExperimentIDs) {
  auto client = registerClient(ns::Dictionary{{"a", 1}}, "abcde");
  deliver(R"(sdk_name: "app_measurement" experiments { experiment_id: 7 flags { name: "a" int_value: 5 } })");
  ASSERT_TRUE(client->activateLatestSnapshot(nullptr));
  EXPECT_EQ(client->valueForFlag("a"), ns::Value(5));
  EXPECT_TRUE(manager_->experimentIDs().empty());
}

TEST_F(MSREManagerTest, RefusalsLogOneMessageEach) {
  registerClient(ns::Dictionary{{"a", 1}});
  struct Case {
    const char* name;
    std::function<void()> call;
    int64_t code;
    int64_t level;
    const char* text;
  };
  ns::Error nilError, emptyError;
  const std::vector<Case> cases = {
      {"nil property", [&] { EXPECT_EQ(manager_->registerSDKProperty(nullptr, {}), nullptr); }, 800000, 0,
       "Cannot register client with a nil SDK property"},
      {"empty name",
       [&] { EXPECT_EQ(manager_->registerSDKProperty(std::make_shared<MSRESDKProperty>(""), {}), nullptr); }, 800001,
       0, "Cannot register experiment client with no SDK name"},
      {"bad default",
       [&] {
         EXPECT_EQ(manager_->registerSDKProperty(std::make_shared<MSRESDKProperty>("other"),
                                                 ns::Dictionary{{"x", ns::Value(ns::Data{1})}}),
                   nullptr);
       },
       800002, 0, "Cannot register experiment client invalid flags. Flag name, value"},
      {"no client for empty name", [&] { EXPECT_EQ(manager_->clientForSDKName(""), nullptr); }, 800007, 0,
       "Cannot find the client for empty SDK Name"},
      {"SDK name not a string", [&] { EXPECT_EQ(manager_->flagValueForFlagName(ns::Value("a"), std::nullopt), std::nullopt); },
       800008, 0, "Cannot get flag value for an invalid SDK name"},
      {"flag name not a string", [&] { EXPECT_EQ(manager_->flagValueForFlagName(ns::Value(3), ns::Value(kSDK)), std::nullopt); },
       800009, 0, "Cannot get flag value for invalid flag name. SDK name, flag name"},
      {"empty SDK name", [&] { EXPECT_EQ(manager_->flagValueForFlagName(ns::Value("a"), ns::Value("")), std::nullopt); },
       800010, 0, "Cannot retrieve flag value for empty SDK name"},
      {"empty flag name", [&] { EXPECT_EQ(manager_->flagValueForFlagName(ns::Value(""), ns::Value(kSDK)), std::nullopt); },
       800011, 0, "Cannot retrieve flag value for empty flag name"},
      {"unregistered SDK", [&] { EXPECT_EQ(manager_->flagValueForFlagName(ns::Value("a"), ns::Value("nobody")), std::nullopt); },
       800012, 3, "SDK is not registered yet"},
      {"activate nil", [&] { EXPECT_FALSE(manager_->activateSnapshotOfSDK(std::nullopt, &nilError)); }, 800021, 3,
       "Cannot activate a pending snapshot for a nil SDK name"},
      {"activate empty", [&] { EXPECT_FALSE(manager_->activateSnapshotOfSDK("", &emptyError)); }, 800022, 3,
       "Cannot activate a pending snapshot for an empty SDK name"},
      {"nothing pending", [&] { EXPECT_FALSE(manager_->activateSnapshotOfSDK(kSDK, nullptr)); }, 800023, 3,
       "No pending snapshot to activate. SDK name"},
      {"status of empty name",
       [&] { EXPECT_EQ(manager_->activatedSnapshotStatusOfSDKName(""), MSRESnapshotStatusInvalidSDK); }, 800024, 0,
       "Cannot check activated snapshot for empty SDK Name"},
      {"reset empty name", [&] { manager_->resetToDefaultsOfSDKName(""); }, 800025, 0,
       "Cannot reset to defaults for empty SDK Name"},
      {"reset without activation", [&] { manager_->resetToDefaultsOfSDKName(kSDK); }, 800026, 0,
       "Cannot reset to defaults for unregistered SDK name"},
      {"empty fetch", [&] { manager_->taskManagerDidFinishFetchingExperimentSnapshots(*manager_->taskManager(), {}, {}); },
       800020, 3, "No pending snapshots to notify the clients"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    monitor_.clear();
    c.call();
    manager_->dispatchSyncOnSerialQueue([] {});
    auto messages = messagesWithCode(c.code);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].level, c.level);
    EXPECT_EQ(messages[0].message, c.text);
  }
  EXPECT_EQ(describe(nilError), measurementError(1, "SDK name cannot be nil"));
  EXPECT_EQ(describe(emptyError), measurementError(1, "SDK name cannot be empty"));
}

}  // namespace
}  // namespace msr_testing
