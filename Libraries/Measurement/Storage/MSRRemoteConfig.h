// The measurement configuration the server sends for one app, and the
// flags read from it.
//
// Today only the default instance exists (no app, no database), answering
// every flag with its default; the remote configuration's own work adds the
// instances made from a fetched configuration, behind the same signatures.
#pragma once

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

 private:
  MSRRemoteConfig(bool isDefaultInstance, bool persistentConfigInApplicationSupportEnabled)
      : isDefaultInstance_(isDefaultInstance),
        persistentConfigInApplicationSupportEnabled_(persistentConfigInApplicationSupportEnabled) {}
  friend std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithPersistentConfigFlagForTesting(bool enabled);

  bool isDefaultInstance_;
  bool persistentConfigInApplicationSupportEnabled_;
};
