// The remote configuration as the experiments client and as the builder
// of the event-editing engine.
#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/Measurement/EventEditing/MSRPKeyValueStore.h"
#include "Libraries/Measurement/EventEditing/MSRPMessageLogger.h"
#include "Libraries/Measurement/EventEditing/MSRPObjectProvider.h"
#include "Libraries/Measurement/Storage/tests/RemoteConfigTestSupport.h"

namespace msr_testing {
namespace {

class RemoteConfigExperimentsTest : public RemoteConfigTest {
 protected:
  std::shared_ptr<ScriptedManager> manager_ = std::make_shared<ScriptedManager>();
};

TEST_F(RemoteConfigExperimentsTest, RegistersAsAppMeasurementAndActivatesAtCreation) {
  makeRemoteConfig(manager_);
  ASSERT_NE(manager_->registeredProperty, nullptr);
  EXPECT_EQ(manager_->registeredProperty->name(), "app_measurement");
  EXPECT_EQ(manager_->registeredProperty->version(), MSRIdentity::dudUziroruvozaLibraryVersion());
  EXPECT_EQ(manager_->registeredProperty->delegate(),
            std::static_pointer_cast<MSRESDKPropertyProviderDelegate>(remoteConfig_));
  EXPECT_EQ(manager_->registeredFlags, (ns::Dictionary{{"efficient_engagement_reporting_enabled", 0},
                                                       {"redundant_engagement_removal_enabled", 0},
                                                       {"network_background_session_enabled", 0},
                                                       {"persistent_config_in_application_support_enabled", 0}}));
  EXPECT_EQ(manager_->client->delegate(), std::static_pointer_cast<MSREExperimentObserverDelegate>(remoteConfig_));
  EXPECT_EQ(manager_->client->activations, 1);
  EXPECT_FALSE(monitor_.contains(29023));

  auto failing = std::make_shared<ScriptedManager>();
  failing->activationError = ns::Error("Experiments", 4);
  worker([&] { MSRRemoteConfig::initWithAppID(kAppID, database_, failing); });
  EXPECT_EQ(failing->client->activations, 1);
  EXPECT_TRUE(monitor_.contains(29023));
}

TEST_F(RemoteConfigExperimentsTest, ANewSnapshotIsActivatedOnRequest) {
  makeRemoteConfig(manager_);
  EXPECT_FALSE(remoteConfig_->activateNewSnapshot()) << "no snapshot waits";
  EXPECT_EQ(manager_->client->activations, 1);

  remoteConfig_->clientDidReceiveNewSnapshot(*manager_->client);
  EXPECT_TRUE(remoteConfig_->hasNewSnapshot());
  manager_->client->failActivations(ns::Error("Experiments", 9));
  monitor_.clear();
  EXPECT_FALSE(remoteConfig_->activateNewSnapshot());
  EXPECT_TRUE(monitor_.contains(29024));
  EXPECT_TRUE(remoteConfig_->hasNewSnapshot()) << "the snapshot still waits";

  manager_->client->failActivations(std::nullopt);
  EXPECT_TRUE(remoteConfig_->activateNewSnapshot());
  EXPECT_FALSE(remoteConfig_->hasNewSnapshot());
  EXPECT_EQ(manager_->client->activations, 3);
}

TEST_F(RemoteConfigExperimentsTest, FetchErrorsAreLoggedAndFetchesWaitForAnEnabledEngine) {
  makeRemoteConfig(manager_);
  monitor_.clear();
  remoteConfig_->client(*manager_->client, ns::Error("Experiments", 3));
  ASSERT_EQ(monitor_.codes(), std::vector<int64_t>{29025});
  ASSERT_EQ(monitor_.messages()[0].contexts.size(), 1u);
  EXPECT_EQ(monitor_.messages()[0].contexts[0].error()->code(), 3);

  EXPECT_FALSE(remoteConfig_->shouldFetchExperimentsForClient(*manager_->client)) << "no engine";
  MSRMeasurementSetSharedInstanceForTesting(MSRMeasurementForTesting(false, nullptr));
  EXPECT_FALSE(remoteConfig_->shouldFetchExperimentsForClient(*manager_->client)) << "disabled";
  MSRMeasurementSetSharedInstanceForTesting(MSRMeasurementForTesting(true, nullptr));
  EXPECT_TRUE(remoteConfig_->shouldFetchExperimentsForClient(*manager_->client));
}

class RemoteConfigEventEditingTest : public RemoteConfigTest {
 protected:
  void SetUp() override {
    RemoteConfigTest::SetUp();
    MSRPEventEditingSetLoadObserverForTesting([this](const MSRPBProgram& program) {
      std::lock_guard lock(mutex_);
      loaded_.push_back(program.protoBuffer().value_or(ns::Data()));
    });
    makeRemoteConfig();
  }
  std::vector<ns::Data> loaded() {
    std::lock_guard lock(mutex_);
    return loaded_;
  }
  // A program with an entity of no known kind, which no engine can run.
  static constexpr const char* kBrokenProgram = "dynamic_event_editing { instructions { type: 99 } } ";
  static ns::Data programBytes(const std::string& text) {
    return bytesOf(protoc("--encode=msrpb.Program ProgramMessages.proto", text));
  }

  std::mutex mutex_;
  std::vector<ns::Data> loaded_;
};

TEST_F(RemoteConfigEventEditingTest, OnlyTheFirstProgramIsLoadedAndAConfigurationWithoutKeepsTheEngine) {
  ASSERT_TRUE(apply(appConfig(setting("measurement.upload.interval", "60000") +
                              "dynamic_event_editing { instructions { type: 1 string_value: \"first\" } } "
                              "dynamic_event_editing { instructions { type: 1 string_value: \"second\" } }")));
  EXPECT_EQ(loaded(), std::vector<ns::Data>{programBytes("instructions { type: 1 string_value: \"first\" }")});
  EXPECT_TRUE(monitor_.contains(29027));
  auto engine = remoteConfig_->eventEditing();
  ASSERT_NE(engine, nullptr);

  ASSERT_TRUE(apply(appConfig(setting("measurement.upload.interval", "90000"))));
  EXPECT_EQ(remoteConfig_->eventEditing(), engine);
  EXPECT_EQ(loaded().size(), 1u);
}

TEST_F(RemoteConfigEventEditingTest, TheModulesAnswerFromTheFlagCacheAndTheApp) {
  installMainBundle(device_, ns::Dictionary{{"CFBundleIdentifier", "com.tavrix.Quillbox"},
                                            {"CFBundleShortVersionString", "4.2"}});
  auto identity = MSRIdentity::initWithPersistedConfig(MSRPersistedConfig::initWithSuiteName("identity"));
  MSRMeasurementSetSharedInstanceForTesting(MSRMeasurementForTesting(true, identity));
  ASSERT_TRUE(apply(appConfig(setting("measurement.upload.retry_time", "90000") +
                              "dynamic_event_editing { instructions { type: 1 string_value: \"x\" } }")));
  auto engine = remoteConfig_->eventEditing();
  ASSERT_NE(engine, nullptr);

  auto creator = MSRPEventEditingModuleCreatorForTesting(*engine, u"internal.remoteConfig");
  ASSERT_TRUE(creator);
  auto store = std::dynamic_pointer_cast<MSRPKeyValueStore>(creator());
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->functionName(), u"internal.remoteConfig");
  EXPECT_EQ(store->getValueBlock()("measurement.upload.retry_time"), "90000") << "the text as received";
  EXPECT_EQ(remoteConfig_->uploadingRetryInterval(), 90.0);
  EXPECT_EQ(store->getValueBlock()("measurement.upload.retry_time"), "90") << "the checked number once read";
  EXPECT_EQ(store->getValueBlock()("measurement.unknown"), std::nullopt);

  creator = MSRPEventEditingModuleCreatorForTesting(*engine, u"internal.appMetadata");
  ASSERT_TRUE(creator);
  auto provider = std::dynamic_pointer_cast<MSRPObjectProvider>(creator());
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(provider->functionName(), u"internal.appMetadata");
  EXPECT_EQ(provider->block()(), ns::Value(ns::Dictionary{{"platform", "ios"},
                                                          {"package_name", "com.tavrix.Quillbox"},
                                                          {"zmp_version", 101600},
                                                          {"app_version", "4.2"}}));
  // An app whose version the identity does not know sends none.
  installMainBundle(device_, ns::Dictionary{{"CFBundleIdentifier", "com.tavrix.Quillbox"}}, "Unversioned");
  MSRMeasurementSetSharedInstanceForTesting(MSRMeasurementForTesting(
      true, MSRIdentity::initWithPersistedConfig(MSRPersistedConfig::initWithSuiteName("identity"))));
  EXPECT_EQ(
      provider->block()(),
      ns::Value(ns::Dictionary{{"platform", "ios"}, {"package_name", "com.tavrix.Quillbox"}, {"zmp_version", 101600}}));

  creator = MSRPEventEditingModuleCreatorForTesting(*engine, u"internal.logger");
  ASSERT_TRUE(creator);
  auto logger = std::dynamic_pointer_cast<MSRPMessageLogger>(creator());
  ASSERT_NE(logger, nullptr);
  EXPECT_NE(logger->logger(), nullptr);
}

// A program that fails to load leaves no engine, and the rest of the
// configuration, data controls included, still applies.
TEST_F(RemoteConfigEventEditingTest, AFailedLoadDropsTheEngineAndReadsTheDataControls) {
  ASSERT_TRUE(apply(appConfig(setting("measurement.upload.interval", "60000") +
                              "dynamic_event_editing { } data_controls { field_1: \"user_id\" }")));
  ASSERT_NE(remoteConfig_->eventEditing(), nullptr);

  monitor_.clear();
  ASSERT_TRUE(
      apply(appConfig(setting("measurement.upload.interval", "90000") + kBrokenProgram +
                      "data_controls { field_1: \"device_model\" } data_controls { field_1: \"os_version\" }")));
  EXPECT_TRUE(monitor_.contains(29026));
  EXPECT_FALSE(monitor_.contains(29027));
  EXPECT_EQ(remoteConfig_->eventEditing(), nullptr);
  EXPECT_EQ(remoteConfig_->dataControls(), (std::vector<std::string>{"device_model", "os_version"}));
  EXPECT_EQ(remoteConfig_->uploadingInterval(), 90.0);

  // A later launch reads the same data controls from the stored
  // configuration.
  EXPECT_EQ(configChild(device_, {"remote-config", kAppID}),
            (std::vector<std::string>{"-1", "1800", "device_model,os_version", "open"}));
}

}  // namespace
}  // namespace msr_testing
