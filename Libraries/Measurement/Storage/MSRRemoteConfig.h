// The measurement configuration the server sends for one app, and the
// flags read from it.
//
// Today only the default instance exists (no app, no database), answering
// every flag with its default; the remote configuration's own work adds the
// instances made from a fetched configuration, behind the same signatures.
#pragma once

#include <cstdint>
#include <memory>

class MSRRemoteConfig {
 public:
  // The one configuration of built-in defaults, used before an engine runs.
  static std::shared_ptr<MSRRemoteConfig> defaultInstance();

  bool isDefaultInstance() const { return isDefaultInstance_; }

  // "measurement.persistent_config_in_application_support_enabled": whether
  // later launches keep the persisted configuration as a property list in
  // Application Support. NO by default.
  bool persistentConfigInApplicationSupportEnabled() const { return persistentConfigInApplicationSupportEnabled_; }

  // Limits of the measurement database, today at their defaults:
  // "measurement.store.max_stored_events_per_app", the raw events kept at
  // most (100,000); "measurement.upload.max_queue_time", the largest age of
  // a raw event or queued bundle in seconds (2,419,200, 28 days);
  // "measurement.upload.stale_data_deletion_interval", the least time
  // between two deletions of stale data in seconds (86,400).
  int32_t maxEventsStored() const { return maxEventsStored_; }
  double maxQueueTime() const { return maxQueueTime_; }
  double databaseDeleteStaleBundlesInterval() const { return databaseDeleteStaleBundlesInterval_; }

 private:
  MSRRemoteConfig(bool isDefaultInstance, bool persistentConfigInApplicationSupportEnabled)
      : isDefaultInstance_(isDefaultInstance),
        persistentConfigInApplicationSupportEnabled_(persistentConfigInApplicationSupportEnabled) {}
  friend std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithPersistentConfigFlagForTesting(bool enabled);
  friend std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithDatabaseLimitsForTesting(
      int32_t maxEventsStored, double maxQueueTime, double databaseDeleteStaleBundlesInterval);

  bool isDefaultInstance_;
  bool persistentConfigInApplicationSupportEnabled_;
  int32_t maxEventsStored_ = 100000;
  double maxQueueTime_ = 2419200;
  double databaseDeleteStaleBundlesInterval_ = 86400;
};
