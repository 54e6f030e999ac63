// The engine on a temporary device with the real database: its start,
// enablement, the wipe decision, the wipe and the reset.
#include <gtest/gtest.h>

#include <atomic>

#include <fstream>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Platform/Runtime/Runtime.h"

namespace {

using msr_testing::ConfigTest;

class MSRMeasurementTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    config_ = MSRPersistedConfig::initWithSuiteName("engine");
    MSRAnalytics::setResetRetryCount(0);
  }
  void TearDown() override {
    engine_.reset();
    MSRMeasurementForgetSharedInstanceForTesting();
    MSRAnalytics::setResetRetryCount(0);
    MSRConsentSettingsUtil::setConsentSettings(std::nullopt);
    ConfigTest::TearDown();
  }
  std::shared_ptr<MSRMeasurement> makeEngine(bool enabled, bool deactivated = false) {
    auto scheduler = std::make_shared<MSRScheduler>("com.zorori.zova.worker");
    auto alarm = MSRAlarm::initWithDispatchQueue(scheduler->workerQueue(), "Measurement timer");
    engine_ = MSRMeasurement::initWithDatabaseName(MSRMeasurement::kDatabaseName, config_, nullptr, scheduler, alarm,
                                                   "1:123:ios:abc", enabled, deactivated, {}, nullptr);
    flush();
    return engine_;
  }
  // Waits for what the worker queue has (a failed enable queues its own
  // disable after itself).
  void flush() {
    for (int i = 0; i < 2; ++i) onWorker(*engine_, [] {});
  }
  // Runs the block on the engine's worker queue and waits, turning the main
  // run loop meanwhile: a first open's events ask the main thread for the
  // vendor identifier.
  static void onWorker(MSRMeasurement& engine, std::function<void()> block) {
    std::atomic<bool> done{false};
    engine.scheduler()->scheduleOnWorkerQueueBlockID("test", [&] {
      block();
      done = true;
      dispatch::Queue::main()->async([] {});
    });
    dispatch::RunLoop::main().runUntil([&done] { return done.load(); }, 600);
  }
  static std::string databaseFile() { return MSRApplicationSupportFilePath(MSRMeasurement::kDatabaseName); }

  std::shared_ptr<MSRPersistedConfig> config_;
  std::shared_ptr<MSRMeasurement> engine_;
};

TEST_F(MSRMeasurementTest, ShouldEnableMeasurement) {
  struct Case {
    const char* what;
    bool deactivated, option;
    int64_t persisted;
    bool expected;
  } cases[] = {
      {"deactivated beats a persisted 1", true, true, 1, false},
      {"persisted 1 beats the option", false, false, 1, true},
      {"persisted 2 beats the option", false, true, 2, false},
      {"other values follow the option (on)", false, true, 7, true},
      {"other values follow the option (off)", false, false, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    config_->setMeasurementEnabledState(c.persisted);
    auto engine = makeEngine(c.option, c.deactivated);
    EXPECT_EQ(engine->shouldEnableMeasurement(), c.expected);
    EXPECT_EQ(engine->wasEnabledDuringInitialization(), c.expected);
    EXPECT_EQ(engine->isEnabled(), c.expected);
  }
  // Deactivated: enabling is refused for good.
  config_->setMeasurementEnabledState(0);
  auto engine = makeEngine(true, true);
  monitor_.clear();
  engine->setEnabled(true);
  flush();
  EXPECT_FALSE(engine->isEnabled());
  EXPECT_TRUE(monitor_.contains(23206));
}

TEST_F(MSRMeasurementTest, FirstEnableMakesTheDatabaseAndLaterOnesReuseIt) {
  EXPECT_FALSE(exists(databaseFile()));
  auto engine = makeEngine(false);
  EXPECT_FALSE(exists(databaseFile())) << "nothing on disk before the first enable";
  EXPECT_EQ(engine->database(), nullptr);
  EXPECT_EQ(MSRMeasurement::remoteConfig(), MSRRemoteConfig::defaultInstance());

  engine->setEnabled(true);
  flush();
  ASSERT_TRUE(engine->isEnabled());
  EXPECT_EQ(databaseFile(), device_.path("App/Library/Application Support/Zorori/Measurement/zorori-app-measurement.sql"));
  std::string tables = msr_testing::sqlite(databaseFile(), ".tables");
  EXPECT_NE(tables.find("raw_events"), std::string::npos) << tables;
  EXPECT_TRUE(monitor_.contains(23016));
  auto database = engine->database();
  auto remoteConfig = engine->remoteConfigInstance();
  ASSERT_NE(remoteConfig, nullptr);

  MSRMeasurementSetSharedInstanceForTesting(engine);
  EXPECT_EQ(MSRMeasurement::remoteConfig(), remoteConfig);

  monitor_.clear();
  engine->alarm()->runAfterDelay(3600, [] {});
  engine->setEnabled(false);
  flush();
  EXPECT_FALSE(engine->isEnabled());
  EXPECT_FALSE(engine->alarm()->hasActiveTimer());
  EXPECT_TRUE(monitor_.contains(23013));
  engine->setEnabled(true);
  flush();
  EXPECT_TRUE(engine->isEnabled());
  EXPECT_EQ(engine->database(), database);
  EXPECT_EQ(engine->remoteConfigInstance(), remoteConfig);
  EXPECT_FALSE(monitor_.contains(23016)) << "the components are made once";
}

TEST_F(MSRMeasurementTest, ADatabaseThatCannotOpenFailsTheEnableUntilItCan) {
  std::string folder = databaseFile().substr(0, databaseFile().rfind('/'));
  ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(folder.substr(0, folder.rfind('/')), true));
  { std::ofstream(folder) << "not a folder"; }
  auto engine = makeEngine(true);
  EXPECT_FALSE(engine->isEnabled());
  EXPECT_TRUE(monitor_.contains(23011));
  EXPECT_EQ(engine->database(), nullptr);
  EXPECT_FALSE(engine->didInitializeComponents());

  ASSERT_TRUE(ns::FileManager::defaultManager().removeItem(folder));
  engine->setEnabled(true);
  flush();
  EXPECT_TRUE(engine->isEnabled());
  EXPECT_NE(engine->database(), nullptr);
  EXPECT_TRUE(exists(databaseFile()));
}

TEST_F(MSRMeasurementTest, OnlyTheFirstInitialiserCallCounts) {
  MSRMeasurementForgetSharedInstanceForTesting();
  MSRMeasurement::initializeSharedInstanceWithAppID("", false, false, {});
  EXPECT_FALSE(MSRMeasurement::hasSharedInstance());
  MSRMeasurement::initializeSharedInstanceWithAppID("1:1:ios:1", false, false, {});
  EXPECT_FALSE(MSRMeasurement::hasSharedInstance()) << "an empty first app ID leaves no engine for good";

  MSRMeasurementForgetSharedInstanceForTesting();
  MSRMeasurement::initializeSharedInstanceWithAppID("1:1:ios:1", false, false, {"purchase"});
  auto engine = MSRMeasurement::sharedInstance();
  ASSERT_NE(engine, nullptr);
  MSRMeasurement::initializeSharedInstanceWithAppID("1:2:ios:2", true, false, {});
  EXPECT_EQ(MSRMeasurement::sharedInstance(), engine);
  EXPECT_EQ(engine->appID(), "1:1:ios:1");
  EXPECT_EQ(engine->safelistedEvents(), std::vector<std::string>{"purchase"});
  onWorker(*engine, [] {});

  monitor_.clear();
  EXPECT_EQ(MSRMeasurement::initWithAppID("", true, false, {}, nullptr), nullptr);
  EXPECT_EQ(monitor_.codes(), std::vector<int64_t>{23170});
}

TEST_F(MSRMeasurementTest, StartHintsNameTheArgumentsOfTheFlavour) {
  for (bool flavour : {false, true}) {
    SCOPED_TRACE(flavour);
    if (flavour) rt::registerClass(std::make_shared<rt::Class>("VOZIzizuzove"));
    monitor_.clear();
    auto engine = MSRMeasurement::initWithAppID("1:1:ios:1", false, false, {}, nullptr);
    ASSERT_NE(engine, nullptr);
    onWorker(*engine, [] {});
    std::string debug, verbose;
    for (const auto& message : monitor_.messages()) {
      if (message.code == 23008) debug = message.message.value_or("");
      if (message.code == 23207) verbose = message.message.value_or("");
    }
    const char* debugName = flavour ? "argument: -VOZIzizuzoveDebugEnabled" : "argument: -MSRAnalyticsDebugEnabled";
    const char* verboseName =
        flavour ? "argument: -VOZIzizuzoveVerboseLoggingEnabled" : "argument: -MSRAnalyticsVerboseLoggingEnabled";
    EXPECT_NE(debug.find(debugName), std::string::npos) << debug;
    EXPECT_NE(verbose.find(verboseName), std::string::npos) << verbose;
    EXPECT_EQ(monitor_.contains(23222), flavour);
    if (flavour) {
      // Before an engine exists the flavour is told to configure first.
      MSRMeasurementForgetSharedInstanceForTesting();
      clearLog();
      EXPECT_EQ(MSRMeasurement::sharedInstance(), nullptr);
      EXPECT_TRUE(logged(23147));
      rt::unregisterClass("VOZIzizuzove");
    }
  }
}

TEST_F(MSRMeasurementTest, NetworkLogLevelsMapToMonitorLevels) {
  auto engine = makeEngine(false);
  struct Case {
    long network;
    int64_t monitor;
  } cases[] = {{3, 1}, {4, 4}, {5, 3}, {6, 6}, {7, 7}, {2, 3}, {9, 3}};
  for (const auto& c : cases) {
    monitor_.clear();
    engine->ZULNetwork_logWithLevel(static_cast<ZULNetworkLogLevel>(c.network), ZULNetworkMessageCodeNetworkError,
                                    std::string("net"), ZULNetworkLogContext("ctx"));
    auto messages = monitor_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].level, c.monitor) << c.network;
    EXPECT_EQ(messages[0].code, ZULNetworkMessageCodeNetworkError);
  }
}

TEST_F(MSRMeasurementTest, TheWipeDecision) {
  auto engine = makeEngine(false);
  using S = std::optional<std::string>;
  S none;
  struct Case {
    const char* what;
    S a, g, m, pg, pm;
    int64_t retries;
    bool wipe;
  } cases[] = {
      {"ZMP IDs differ", "A", "G1", none, "G2", none, 0, true},
      {"ZMP IDs agree", "A", "G1", none, "G1", none, 0, false},
      {"ZMP IDs agree but a wipe is retried", "A", "G1", none, "G1", none, 5, true},
      {"retries exhausted", "A", "G1", none, "G1", none, 10, false},
      {"RiVar persisted, ZMP now only", "A", "G", none, none, "M", 0, true},
      {"RiVar persisted and changed", "A", "G", "M2", none, "M1", 0, true},
      {"RiVar persisted and same", "A", "G", "M", none, "M", 0, false},
      {"ZMP persisted, now RiVar only", "A", none, "M", "G", none, 0, true},
      {"nothing persisted", "A", "G", none, none, none, 0, false},
      {"RiVar persisted, app ID differs", "A", none, none, none, "M", 0, true},
      {"RiVar persisted, app ID same", "M", none, none, none, "M", 0, false},
      {"RiVar persisted, no app ID", "", none, none, none, "M", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MSRAnalytics::setResetRetryCount(c.retries);
    EXPECT_EQ(engine->shouldWipeDataWithAppID(c.a, c.g, c.m, c.pg, c.pm), c.wipe);
  }
}

TEST_F(MSRMeasurementTest, WipeEmptiesEverythingAndRemembersTheAppID) {
  auto engine = makeEngine(true);
  ASSERT_TRUE(engine->isEnabled());
  std::string file = databaseFile();
  ASSERT_EQ(msr_testing::sqlite(file, "INSERT INTO raw_events (name, timestamp, metadata_fingerprint, data) "
                                      "VALUES ('_e', 1, 0, x'00'); INSERT INTO events (name, lifetime_count, "
                                      "current_bundle_count, last_fire_timestamp) VALUES ('_e', 1, 1, 1)"),
            "");
  ASSERT_EQ(msr_testing::sqlite(file, "SELECT count(*) FROM raw_events WHERE timestamp = 1"), "1");
  config_->setAppIDFromZMP("1:123:ios:abc");
  config_->setLastSuccessfulUploadTimestamp(42);

  bool wiped = false;
  onWorker(*engine, [&] { wiped = engine->wipeoutAnalyticsDataAndResetComponents(); });
  EXPECT_TRUE(wiped);
  EXPECT_EQ(engine->previousZMPAppID(), "1:123:ios:abc");
  EXPECT_EQ(config_->appIDFromZMP(), std::nullopt);
  EXPECT_EQ(config_->lastSuccessfulUploadTimestamp(), 0);
  std::string tables = msr_testing::sqlite(file, "SELECT name FROM sqlite_master WHERE type='table'") + "\n";
  EXPECT_NE(tables.find("events\n"), std::string::npos) << tables;
  for (size_t start = 0, end; (end = tables.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string table = tables.substr(start, end - start);
    if (table == "app_metadata" || table.rfind("sqlite_", 0) == 0) continue;
    EXPECT_EQ(msr_testing::sqlite(file, "SELECT count(*) FROM " + table), "0") << table;
  }
}

TEST_F(MSRMeasurementTest, ResetWithANewAppInstanceID) {
  auto engine = makeEngine(true);
  config_->setAppIDFromZMP("kept");
  monitor_.clear();
  EXPECT_FALSE(engine->resetAnalyticsDataWithAppInstanceID(""));
  EXPECT_EQ(config_->appIDFromZMP(), "kept") << "nothing wiped";
  EXPECT_TRUE(monitor_.contains(23167));

  MSRAnalytics::setLoadTimestamp(1'700'000'123);
  EXPECT_TRUE(engine->resetAnalyticsDataWithAppInstanceID("0123456789ABCDEF0123456789ABCDEF"));
  EXPECT_EQ(config_->appInstanceID(), "0123456789ABCDEF0123456789ABCDEF");
  EXPECT_EQ(engine->initTimestamp(), 1'700'000'123);
  auto stored = config_->loadTimestampValue();
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->doubleValue(), 1'700'000'123);
  EXPECT_EQ(engine->previousZMPAppID(), "kept");
  EXPECT_TRUE(monitor_.contains(23168));
}

}  // namespace
