// Who the app is, as far as measurement is concerned.
//
// Today the library version and the application's version, read from the
// main bundle when the identity is made; the identity's own work adds the
// identifiers, the consent rules and the queue, behind the same
// signatures.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"

class MSRIdentity {
 public:
  // The library version "101600000" without its last three characters, as
  // an integer: 101600.
  static int64_t dudUziroruvozaLibraryVersion();

  // Made once over MSRPersistedConfig::sharedInstance().
  static std::shared_ptr<MSRIdentity> sharedInstance();
  // Null without a persisted configuration (logged, 20004).
  static std::shared_ptr<MSRIdentity> initWithPersistedConfig(std::shared_ptr<MSRPersistedConfig> persistedConfig);

  // The main bundle's "CFBundleShortVersionString" when the identity was
  // made; none when the bundle has none.
  const std::optional<std::string>& appVersion() const { return appVersion_; }

  // A new UUID's upper-case text without its "-" (32 hexadecimal digits).
  static std::string randomAppInstanceID();
  // The short key the experiment service divides installations by: the
  // persisted one when it is exactly 5 characters long, else the first 5
  // characters of a new random app instance ID, persisted.
  std::string diversionKey();

 private:
  explicit MSRIdentity(std::shared_ptr<MSRPersistedConfig> persistedConfig);

  std::shared_ptr<MSRPersistedConfig> persistedConfig_;
  std::optional<std::string> appVersion_;
  std::mutex diversionKeyMutex_;
};
