// For the remote configuration tests: configurations encoded by protoc
// from their text form, a configuration over a real database made and fed
// on the worker queue, and an experiments manager whose client says what a
// test wants (activation failures, experiment flags).
#pragma once

#include <atomic>
#include <map>
#include <mutex>

#include "Libraries/Measurement/Core/MSRIdentifiers.h"
#include "Libraries/Measurement/Core/testing/MSRMeasurementTesting.h"
#include "Libraries/Measurement/EventEditing/testing/MSRPEventEditingTesting.h"
#include "Libraries/Measurement/Reporters/MSREManager.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"
#include "Libraries/Measurement/Storage/testing/MSRRemoteConfigTesting.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"

namespace msr_testing {

inline constexpr const char* kAppID = "1:123:ios:abc";

// A client whose activation and flags the test sets.
class ScriptedClient : public MSREClient {
 public:
  using MSREClient::MSREClient;

  bool activateLatestSnapshot(ns::Error* error) override {
    ++activations;
    std::lock_guard lock(mutex_);
    if (!activationError) return true;
    if (error) *error = *activationError;
    return false;
  }
  std::optional<ns::Value> objectForKeyedSubscript(const std::string& flagName) const override {
    std::lock_guard lock(mutex_);
    auto found = flags.find(flagName);
    if (found == flags.end()) return std::nullopt;
    return found->second;
  }
  void failActivations(std::optional<ns::Error> error) {
    std::lock_guard lock(mutex_);
    activationError = std::move(error);
  }
  void setFlag(const std::string& name, ns::Value value) {
    std::lock_guard lock(mutex_);
    flags.insert_or_assign(name, std::move(value));
  }

  std::atomic<int> activations{0};

 private:
  mutable std::mutex mutex_;
  std::optional<ns::Error> activationError;
  std::map<std::string, ns::Value> flags;
};

// Hands out ScriptedClients and remembers what was registered.
class ScriptedManager : public MSREManager {
 public:
  std::shared_ptr<MSREClient> registerSDKProperty(std::shared_ptr<MSRESDKProperty> property,
                                                  const ns::Dictionary& defaultFlags) override {
    registeredProperty = property;
    registeredFlags = defaultFlags;
    client = std::make_shared<ScriptedClient>(std::move(property), defaultFlags);
    if (activationError) client->failActivations(activationError);
    return client;
  }
  std::vector<int64_t> experimentIDs() const override { return {7, 11}; }
  void reset() override { ++resets; }

  // Fails the activation a new client makes at creation.
  std::optional<ns::Error> activationError;
  std::shared_ptr<MSRESDKProperty> registeredProperty;
  ns::Dictionary registeredFlags;
  std::shared_ptr<ScriptedClient> client;
  std::atomic<int> resets{0};
};

// A MeasurementConfig encoded by protoc from its text form.
inline std::shared_ptr<MSRPBMeasurementConfig> measurementConfigFromText(const std::string& text) {
  std::string bytes = protoc("--encode=msrpb.MeasurementConfig ConfigurationMessages.proto", text);
  EXPECT_FALSE(bytes.empty()) << text;
  auto config = MSRPBMeasurementConfig::initWithBuffer(bytesOf(bytes));
  EXPECT_NE(config, nullptr) << text;
  return config;
}
// A setting's text form.
inline std::string settingText(const std::string& name, const std::string& value) {
  return "settings { name: \"" + name + "\" value: \"" + value + "\" } ";
}

class RemoteConfigTest : public ClockedDatabaseTest {
 protected:
  void TearDown() override {
    worker([&] { remoteConfig_.reset(); });
    MSRMeasurementSetSharedInstanceForTesting(nullptr);
    MSRRemoteConfigSetDebugModeForTesting(std::nullopt);
    MSRPEventEditingSetLoadObserverForTesting({});
    MSRConsentSettingsUtil::clearAllSettings();
    // The origin cannot be emptied again; any other than "am" is neutral.
    if (MSRIdentifiers::sharedInstance()->origin() == "am") MSRIdentifiers::sharedInstance()->setOrigin("fa");
    ns::Bundle::setMainBundlePath({});
    ClockedDatabaseTest::TearDown();
  }

  static std::shared_ptr<MSRPBMeasurementConfig> configFromText(const std::string& text) {
    return measurementConfigFromText(text);
  }
  // This app's configuration with these fields besides the app id.
  static std::shared_ptr<MSRPBMeasurementConfig> appConfig(const std::string& fields) {
    return configFromText("zmp_app_id: \"" + std::string(kAppID) + "\" " + fields);
  }
  static std::string setting(const std::string& name, const std::string& value) { return settingText(name, value); }

  // remoteConfig_ over the open database, made on the worker queue.
  void makeRemoteConfig(std::shared_ptr<MSREManager> manager = nullptr) {
    worker([&] { remoteConfig_ = MSRRemoteConfig::initWithAppID(kAppID, database_, std::move(manager)); });
    ASSERT_NE(remoteConfig_, nullptr);
  }
  // Applies the configuration on the worker queue.
  bool apply(const std::shared_ptr<MSRPBMeasurementConfig>& config) {
    bool applied = false;
    worker([&] { applied = remoteConfig_->updateMeasurementConfig(config); });
    return applied;
  }

  std::shared_ptr<MSRRemoteConfig> remoteConfig_;
};

}  // namespace msr_testing
