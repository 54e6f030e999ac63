// ZEVUdederozedaruStore: each app's installation record in the keychain,
// with an existence flag beside it in a defaults suite. A record counts as
// present only when both exist: a keychain item left behind after the
// defaults were cleared reads as not found, without being read.
//
//   keychain item   service of the storage, account = app ID followed by
//                   app name, access group as given; the archived
//                   ZEVUdederozedaruStoredItem
//   flag            the boolean YES under the same key in the defaults
//                   suite named after the access group, else
//                   "com.dozaveve.ZEVUdederozedaru"; on disk when written
//
// Saving writes the item before the flag; removing removes the item before
// the flag. Flags are read and written on the store's serial queue
// "com.dozaveve.ZEVUdederozedaruStore", so a save's flag and a later read's
// are ordered. Failures reject: "Installation for appID <ID> appName <name>
// not found" (code 0), or the keychain storage's own error.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/ZEVUdederozedaruItem.h"
#include "Libraries/TelemetryFoundation/Promise.h"
#include "Libraries/TelemetryFoundation/ZULKeychainStorage.h"
#include "Libraries/TelemetryFoundation/ZULUserDefaults.h"
#include "Platform/Dispatch/Queue.h"

class ZEVUdederozedaruStore {
 public:
  static inline constexpr const char* kUserDefaultsSuiteName = "com.dozaveve.ZEVUdederozedaru";
  static inline constexpr const char* kQueueLabel = "com.dozaveve.ZEVUdederozedaruStore";

  ZEVUdederozedaruStore(std::shared_ptr<ZULKeychainStorage> secureStorage, std::optional<std::string> accessGroup);

  const std::shared_ptr<ZULKeychainStorage>& secureStorage() const { return secureStorage_; }
  const std::optional<std::string>& accessGroup() const { return accessGroup_; }
  const std::shared_ptr<dispatch::Queue>& queue() const { return queue_; }
  const std::shared_ptr<ZULUserDefaults>& userDefaults() const { return userDefaults_; }

  // A new record with the stored fields.
  Promises::Promise<ZEVUdederozedaruItem> installationForAppID(const std::string& appID,
                                                               const std::string& appName) const;
  Promises::Promise<ns::Null> saveInstallation(const ZEVUdederozedaruItem& installation) const;
  Promises::Promise<ns::Null> removeInstallationForAppID(const std::string& appID, const std::string& appName) const;
  // Fulfils when the flag exists.
  Promises::Promise<ns::Null> installationExistsForAppID(const std::string& appID, const std::string& appName) const;
  Promises::Promise<ns::Null> setInstallationExists(bool exists, const std::string& identifier) const;

 private:
  std::shared_ptr<ZULKeychainStorage> secureStorage_;
  std::optional<std::string> accessGroup_;
  std::shared_ptr<dispatch::Queue> queue_;
  std::shared_ptr<ZULUserDefaults> userDefaults_;
};
