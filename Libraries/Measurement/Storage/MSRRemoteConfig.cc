#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"

#include "Libraries/Measurement/Storage/testing/MSRRemoteConfigTesting.h"

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfig::defaultInstance() {
  static const std::shared_ptr<MSRRemoteConfig> instance(new MSRRemoteConfig(true, false));
  return instance;
}

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithPersistentConfigFlagForTesting(bool enabled) {
  return std::shared_ptr<MSRRemoteConfig>(new MSRRemoteConfig(false, enabled));
}

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithDatabaseLimitsForTesting(int32_t maxEventsStored,
                                                                             double maxQueueTime,
                                                                             double databaseDeleteStaleBundlesInterval) {
  std::shared_ptr<MSRRemoteConfig> config(new MSRRemoteConfig(false, false));
  config->maxEventsStored_ = maxEventsStored;
  config->maxQueueTime_ = maxQueueTime;
  config->databaseDeleteStaleBundlesInterval_ = databaseDeleteStaleBundlesInterval;
  return config;
}
