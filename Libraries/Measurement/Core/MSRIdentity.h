// Who the app and this installation are, as far as measurement is
// concerned: the app IDs of the service file, the bundle's identifier and
// version, the app instance ID (persisted), the advertising identifier
// with its tracking status, the vendor identifier and short-lived tokens.
// The consent rules apply to all of them: with analytics storage denied no
// app instance ID is kept, with ad storage denied no IDFA hash.
//
// Thread-safe: the identity's state is read and written under one lock,
// the part a serial queue plays on the platform; calls that refresh the
// advertising identifiers do so before they read.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRIdentitySupport.h"
#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"
#include "Platform/Foundation/Date.h"

class MSRIdentity {
 public:
  // The library version "101600000" without its last three characters, as
  // an integer: 101600.
  static int64_t dudUziroruvozaLibraryVersion();

  // Made once over MSRPersistedConfig::sharedInstance().
  static std::shared_ptr<MSRIdentity> sharedInstance();
  // Null without a persisted configuration (logged, 20004).
  static std::shared_ptr<MSRIdentity> initWithPersistedConfig(std::shared_ptr<MSRPersistedConfig> persistedConfig);
  // The same over another identity support; for tests.
  static std::shared_ptr<MSRIdentity> initWithPersistedConfig(std::shared_ptr<MSRPersistedConfig> persistedConfig,
                                                              std::shared_ptr<MSRIdentitySupport> support);

  // The integer of each non-empty "."-separated piece, its non-digits
  // removed (logged, 20002); 0 for a piece without digits.
  static std::vector<int64_t> numericFieldsFromAppVersionNumeric(const std::string& version);

  // The main bundle's "CFBundleShortVersionString" when the identity was
  // made; none when the bundle has none.
  const std::optional<std::string>& appVersion() const { return appVersion_; }
  // The first three numeric fields of "CFBundleVersion"; none where missing.
  const std::optional<int64_t>& appVersionMajor() const { return appVersionMajor_; }
  const std::optional<int64_t>& appVersionMinor() const { return appVersionMinor_; }
  const std::optional<int64_t>& appVersionRelease() const { return appVersionRelease_; }
  const std::optional<std::string>& appID() const { return appID_; }
  int64_t devCertHash() const { return 0; }
  // The app was installed from the store.
  bool isFromAppStore() const;

  // A new UUID's upper-case text without its "-" (32 hexadecimal digits).
  static std::string randomAppInstanceID();
  // The short key the experiment service divides installations by: the
  // persisted one when it is exactly 5 characters long, else the first 5
  // characters of a new random app instance ID, persisted.
  std::string diversionKey();

  // Tracking status: 1..3 the platform's, 4 not determined, 5 no status
  // available, 6 no advertising-identifier facility.
  uint64_t appleConsentStatus();
  bool hasLimitedAdTracking();
  bool limitedAdTracking();
  std::optional<std::string> resettableDeviceID();
  std::optional<std::string> hashedResettableDeviceID();
  std::optional<std::string> appInstanceID();
  void setAppInstanceID(const std::optional<std::string>& appInstanceID);
  // None while an IDFA is available, while the app's Info.plist turns IDFV
  // collection off, or while analytics storage is denied.
  std::optional<std::string> identifierForVendor();

  std::optional<std::string> appIDFromZMP();
  std::optional<std::string> appIDFromRiVar();
  // Only the first non-empty call of each takes effect (20005, 20007 for
  // empty ones).
  void setAppIDFromZMP(const std::string& appID);
  void setAppIDFromRiVar(const std::string& appID);

  bool shouldSetLastAdvertisingIDResetUserProperty();
  void setShouldSetLastAdvertisingIDResetUserProperty(bool value);
  std::optional<std::string> dozaveveInstallationID();
  void setDozaveveInstallationID(const std::optional<std::string>& installationID);

  void enforceConsentSettings();
  // Refreshes the advertising identifiers (at most once per
  // "ad_id_cache_time" while an app instance ID is stored).
  void updateIdentifiers();
  void updateIdentifiersAndWait();

  // The token that ties sessions together; none with analytics storage
  // denied. Without a user ID it lapses a day after it was made.
  std::optional<std::string> sessionStitchingTokenWithSessionNumber(int64_t sessionNumber, bool sessionExpired,
                                                                    bool userIDAvailable);
  void resetSessionStitchingToken();
  std::string ephemeralAppInstanceID();
  void resetEphemeralAppInstanceID();

 private:
  MSRIdentity(std::shared_ptr<MSRPersistedConfig> persistedConfig, std::shared_ptr<MSRIdentitySupport> support);
  void enforceConsentSettingsLocked();
  void updateIdentifiersLocked();

  std::shared_ptr<MSRPersistedConfig> persistedConfig_;
  std::shared_ptr<MSRIdentitySupport> support_;
  std::optional<std::string> appVersion_;
  std::optional<int64_t> appVersionMajor_, appVersionMinor_, appVersionRelease_;
  std::optional<std::string> appID_;
  std::optional<bool> idfvCollectionEnabled_;

  std::mutex mutex_;
  std::optional<ns::Date> lastIdentifierUpdate_;
  uint64_t appleConsentStatus_ = 6;
  std::optional<std::string> resettableDeviceID_;
  bool limitedAdTracking_ = false;
  std::optional<std::string> identifierForVendor_;
  std::optional<std::string> appIDFromZMP_, appIDFromRiVar_;
  bool appIDFromZMPSet_ = false, appIDFromRiVarSet_ = false;
  std::optional<std::string> dozaveveInstallationID_;
  std::optional<std::string> stitchingToken_;
  int64_t lastSessionNumber_ = 0;
  bool lastSessionExpired_ = false;
  std::optional<ns::Date> tokenExpiration_;
  std::optional<std::string> ephemeralAppInstanceID_;
};
