#include "Libraries/Measurement/Core/MSRIdentity.h"

#include <cctype>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/MSRInfoPlistFileUtil.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Platform/Foundation/Uuid.h"
#include "Platform/Runtime/Runtime.h"
#include "Platform/UIKit/DeviceInfo.h"

namespace {

constexpr const char* kLibraryVersion = "101600000";
constexpr const char* kZeroIDFA = "00000000-0000-0000-0000-000000000000";

std::optional<std::string> nonEmptyString(const ns::Dictionary& dictionary, const char* key) {
  const ns::Value* found = dictionary.find(key);
  if (!found || !found->asString() || found->asString()->empty()) return std::nullopt;
  return *found->asString();
}

std::optional<std::string> stringValue(const ns::Value* value) {
  if (value && value->asString()) return *value->asString();
  return std::nullopt;
}

// The platform's tracking status in the identity's coding.
uint64_t trackingStatus(MSRIdentitySupport& support) {
  if (!MSRDefaultIdentitySupport::iOS14OrAbove() || !support.hasLimitedAdTracking()) return 6;
  if (!support.hasAppDataConsentStatus()) return 5;
  uint64_t status = support.appDataConsentStatus();
  if (status == 0) return 4;
  if (status <= 3) return status;
  return 5;
}

}  // namespace

int64_t MSRIdentity::dudUziroruvozaLibraryVersion() {
  std::string version = kLibraryVersion;
  if (version.size() < 4) return 0;
  return std::stoll(version.substr(0, version.size() - 3));
}

std::shared_ptr<MSRIdentity> MSRIdentity::sharedInstance() {
  static const std::shared_ptr<MSRIdentity> instance = [] {
    auto identity = initWithPersistedConfig(MSRPersistedConfig::sharedInstance());
    if (identity && !MSRDefaultIdentitySupport::sharedInstance()->hasLimitedAdTracking()) {
      MSRMeasurement::monitor()->logWithLevel(
          7, 5000,
          "The AdSupport Framework is not currently linked. Some features will not function properly. "
          "Learn more at https://zorori.example/docs/analytics/ad-support");
    }
    return identity;
  }();
  if (!instance) MSRMeasurement::monitor()->logWithLevel(2, 20003, "Identity's shared instance is nil");
  return instance;
}

std::shared_ptr<MSRIdentity> MSRIdentity::initWithPersistedConfig(std::shared_ptr<MSRPersistedConfig> persistedConfig) {
  return initWithPersistedConfig(std::move(persistedConfig), MSRDefaultIdentitySupport::sharedInstance());
}

std::shared_ptr<MSRIdentity> MSRIdentity::initWithPersistedConfig(std::shared_ptr<MSRPersistedConfig> persistedConfig,
                                                                  std::shared_ptr<MSRIdentitySupport> support) {
  if (!persistedConfig) {
    MSRMeasurement::monitor()->logWithLevel(
        2, 20004, "Unable to create measurement identity, missing a valid persisted config instance");
    return nullptr;
  }
  return std::shared_ptr<MSRIdentity>(new MSRIdentity(std::move(persistedConfig), std::move(support)));
}

MSRIdentity::MSRIdentity(std::shared_ptr<MSRPersistedConfig> persistedConfig,
                         std::shared_ptr<MSRIdentitySupport> support)
    : persistedConfig_(std::move(persistedConfig)), support_(std::move(support)) {
  if (auto service = MSRInfoPlistFileUtil::dictionaryFromZororiServiceInfoPlist(); service && !service->empty()) {
    appIDFromZMP_ = nonEmptyString(*service, "ZORORI_APP_ID");
    appIDFromRiVar_ = nonEmptyString(*service, "RIVAR_APP_ID");
  }
  if (rt::classFromString("VOZIzizuzove") && !appIDFromZMP_) {
    MSRMeasurement::monitor()->logWithLevel(
        0, 20006,
        "Zorori App ID from ZororiService-Info.plist is empty. Please, define ZORORI_APP_ID in "
        "ZororiService-Info.plist for Analytics to work reliably. "
        "Learn more at https://zorori.example/docs/analytics/service-file");
  }
  auto bundle = ns::Bundle::mainBundle();
  if (bundle) {
    const ns::Value* idfv = bundle->objectForInfoDictionaryKey("ZORORI_ANALYTICS_IDFV_COLLECTION_ENABLED");
    if (idfv && idfv->isNumber()) {
      idfvCollectionEnabled_ = idfv->boolValue();
      MSRMeasurement::monitor()->logWithLevel(
          7, 20009, std::string("ZORORI_ANALYTICS_IDFV_COLLECTION_ENABLED = ") + (*idfvCollectionEnabled_ ? "YES" : "NO"));
    }
    appID_ = bundle->bundleIdentifier();
    appVersion_ = stringValue(bundle->objectForInfoDictionaryKey(ns::Bundle::kShortVersionStringKey));
    if (auto version = stringValue(bundle->objectForInfoDictionaryKey(ns::Bundle::kVersionKey))) {
      auto fields = numericFieldsFromAppVersionNumeric(*version);
      if (fields.size() > 0) appVersionMajor_ = fields[0];
      if (fields.size() > 1) appVersionMinor_ = fields[1];
      if (fields.size() > 2) appVersionRelease_ = fields[2];
    }
  }
  std::lock_guard lock(mutex_);
  enforceConsentSettingsLocked();
  if (!persistedConfig_->appInstanceID() && !MSRConsentSettingsUtil::isAnalyticsStorageDenied()) {
    persistedConfig_->setAppInstanceID(randomAppInstanceID());
  }
}

std::vector<int64_t> MSRIdentity::numericFieldsFromAppVersionNumeric(const std::string& version) {
  std::vector<int64_t> fields;
  size_t start = 0;
  while (start <= version.size()) {
    size_t end = version.find('.', start);
    if (end == std::string::npos) end = version.size();
    std::string piece = version.substr(start, end - start);
    if (!piece.empty()) {
      std::string digits;
      for (char c : piece)
        if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
      if (digits.size() != piece.size()) {
        MSRMeasurement::monitor()->logWithLevel(5, 20002, "app version numeric has non-numeric characters");
      }
      // Too many digits for 64 bits saturate rather than throw.
      int64_t value = 0;
      for (char c : digits) value = value > (INT64_MAX - (c - '0')) / 10 ? INT64_MAX : value * 10 + (c - '0');
      fields.push_back(value);
    }
    start = end + 1;
  }
  return fields;
}

bool MSRIdentity::isFromAppStore() const { return MSRAEU::isFAS(); }

std::string MSRIdentity::randomAppInstanceID() {
  std::string text = ns::Uuid::random().uuidString();
  std::erase(text, '-');
  return text;
}

std::string MSRIdentity::diversionKey() {
  std::lock_guard lock(mutex_);
  // Counted in characters as the platform counts them: a stored key of
  // other length (or none) is replaced.
  std::optional<std::string> stored = persistedConfig_->diversionKey();
  if (stored && ns::utf16Length(*stored) == 5) return *stored;
  std::string key = randomAppInstanceID().substr(0, 5);
  persistedConfig_->setDiversionKey(key);
  return key;
}

void MSRIdentity::enforceConsentSettings() {
  std::lock_guard lock(mutex_);
  enforceConsentSettingsLocked();
}

void MSRIdentity::enforceConsentSettingsLocked() {
  if (MSRConsentSettingsUtil::isAdStorageDenied()) persistedConfig_->setHashedResettableDeviceID(std::nullopt);
  if (MSRConsentSettingsUtil::isAnalyticsStorageDenied()) persistedConfig_->setAppInstanceID(std::nullopt);
}

void MSRIdentity::updateIdentifiers() {
  std::lock_guard lock(mutex_);
  updateIdentifiersLocked();
}

void MSRIdentity::updateIdentifiersAndWait() { updateIdentifiers(); }

void MSRIdentity::updateIdentifiersLocked() {
  enforceConsentSettingsLocked();
  ns::Date now = ns::Clock::now();
  std::optional<std::string> storedID = persistedConfig_->appInstanceID();
  if (storedID && lastIdentifierUpdate_ && lastIdentifierUpdate_->timeIntervalSince(now) <= 0 &&
      now.timeIntervalSince(*lastIdentifierUpdate_) < MSRMeasurement::remoteConfig()->adIDCacheTime()) {
    return;
  }
  std::optional<std::string> storedHash = persistedConfig_->hashedResettableDeviceID();
  std::optional<std::string> cached = resettableDeviceID_;
  bool limited = support_ ? support_->limitedAdTracking() : false;

  uint64_t status = 6;
  bool gated = false;
  if (MSRDefaultIdentitySupport::iOS14OrAbove() && support_) {
    status = trackingStatus(*support_);
    gated = status != 3 && MSRMeasurement::remoteConfig()->gateIDFAOnATTMASEnabled();
  }
  std::optional<std::string> idfa;
  if (support_ && !MSRConsentSettingsUtil::isAdStorageDenied() && !gated) idfa = support_->resettableDeviceID();

  std::optional<std::string> newAppInstanceID;
  std::optional<std::string> newHash;
  bool hashChanged = false;
  if (idfa && !idfa->empty() && *idfa != kZeroIDFA) {
    std::optional<std::string> hash = msr_MD5String(*idfa);
    if (hash && hash != storedHash) {
      if (storedHash) {
        // The advertising identifier was reset: this is another user as
        // far as ad measurement can tell.
        newAppInstanceID = randomAppInstanceID();
        persistedConfig_->setShouldSetLastAdvertisingIDResetUserProperty(true);
      }
      newHash = hash;
      hashChanged = true;
    }
    cached = idfa;
  } else if (idfa && *idfa == kZeroIDFA) {
    cached.reset();
  }
  if (!storedID || hashChanged) {
    if (!MSRConsentSettingsUtil::isAnalyticsStorageDenied() && (newAppInstanceID || !storedID)) {
      persistedConfig_->setAppInstanceID(newAppInstanceID ? *newAppInstanceID : randomAppInstanceID());
    }
    if (hashChanged && !MSRConsentSettingsUtil::isAdStorageDenied()) persistedConfig_->setHashedResettableDeviceID(newHash);
  }
  lastIdentifierUpdate_ = now;
  limitedAdTracking_ = limited;
  resettableDeviceID_ = cached;
  appleConsentStatus_ = status;
}

uint64_t MSRIdentity::appleConsentStatus() {
  std::lock_guard lock(mutex_);
  updateIdentifiersLocked();
  return appleConsentStatus_;
}

bool MSRIdentity::hasLimitedAdTracking() {
  std::lock_guard lock(mutex_);
  updateIdentifiersLocked();
  return support_ ? support_->hasLimitedAdTracking() : false;
}

bool MSRIdentity::limitedAdTracking() {
  std::lock_guard lock(mutex_);
  updateIdentifiersLocked();
  return limitedAdTracking_;
}

std::optional<std::string> MSRIdentity::resettableDeviceID() {
  std::lock_guard lock(mutex_);
  updateIdentifiersLocked();
  return resettableDeviceID_;
}

std::optional<std::string> MSRIdentity::hashedResettableDeviceID() {
  std::lock_guard lock(mutex_);
  updateIdentifiersLocked();
  return persistedConfig_->hashedResettableDeviceID();
}

std::optional<std::string> MSRIdentity::appInstanceID() {
  std::lock_guard lock(mutex_);
  updateIdentifiersLocked();
  return persistedConfig_->appInstanceID();
}

void MSRIdentity::setAppInstanceID(const std::optional<std::string>& appInstanceID) {
  std::lock_guard lock(mutex_);
  persistedConfig_->setAppInstanceID(appInstanceID);
}

std::optional<std::string> MSRIdentity::identifierForVendor() {
  auto idfa = resettableDeviceID();
  if (idfa && !idfa->empty()) return std::nullopt;
  if (idfvCollectionEnabled_ && !*idfvCollectionEnabled_) return std::nullopt;
  if (MSRConsentSettingsUtil::isAnalyticsStorageDenied()) return std::nullopt;
  {
    std::lock_guard lock(mutex_);
    if (identifierForVendor_) return identifierForVendor_;
  }
  // The platform answers on the main thread only.
  std::string vendor;
  if (dispatch::isMainThread()) {
    vendor = ui::DeviceInfo::current().identifierForVendor();
  } else {
    dispatch::Queue::main()->sync([&] { vendor = ui::DeviceInfo::current().identifierForVendor(); });
  }
  if (vendor.empty()) return std::nullopt;
  std::lock_guard lock(mutex_);
  identifierForVendor_ = vendor;
  return vendor;
}

std::optional<std::string> MSRIdentity::appIDFromZMP() {
  std::lock_guard lock(mutex_);
  return appIDFromZMP_;
}

std::optional<std::string> MSRIdentity::appIDFromRiVar() {
  std::lock_guard lock(mutex_);
  return appIDFromRiVar_;
}

void MSRIdentity::setAppIDFromZMP(const std::string& appID) {
  if (appID.empty()) {
    MSRMeasurement::monitor()->logWithLevel(2, 20005, "Cannot set empty Zorori App ID");
    return;
  }
  std::lock_guard lock(mutex_);
  if (appIDFromZMPSet_) return;
  appIDFromZMPSet_ = true;
  appIDFromZMP_ = appID;
}

void MSRIdentity::setAppIDFromRiVar(const std::string& appID) {
  if (appID.empty()) {
    MSRMeasurement::monitor()->logWithLevel(2, 20007, "Cannot set empty RiVar App ID");
    return;
  }
  std::lock_guard lock(mutex_);
  if (appIDFromRiVarSet_) return;
  appIDFromRiVarSet_ = true;
  appIDFromRiVar_ = appID;
}

bool MSRIdentity::shouldSetLastAdvertisingIDResetUserProperty() {
  return persistedConfig_->shouldSetLastAdvertisingIDResetUserProperty();
}

void MSRIdentity::setShouldSetLastAdvertisingIDResetUserProperty(bool value) {
  persistedConfig_->setShouldSetLastAdvertisingIDResetUserProperty(value);
}

std::optional<std::string> MSRIdentity::dozaveveInstallationID() {
  std::lock_guard lock(mutex_);
  return dozaveveInstallationID_;
}

void MSRIdentity::setDozaveveInstallationID(const std::optional<std::string>& installationID) {
  std::lock_guard lock(mutex_);
  dozaveveInstallationID_ = installationID;
}

std::optional<std::string> MSRIdentity::sessionStitchingTokenWithSessionNumber(int64_t sessionNumber,
                                                                             bool sessionExpired,
                                                                             bool userIDAvailable) {
  if (MSRConsentSettingsUtil::isAnalyticsStorageDenied()) return std::nullopt;
  std::lock_guard lock(mutex_);
  bool same = sessionNumber == lastSessionNumber_ && sessionExpired == lastSessionExpired_;
  bool next = sessionNumber == lastSessionNumber_ + 1 && lastSessionExpired_ && !sessionExpired;
  if (!same && !next) {
    stitchingToken_.reset();
    tokenExpiration_.reset();
  }
  lastSessionNumber_ = sessionNumber;
  lastSessionExpired_ = sessionExpired;
  ns::Date now = ns::Clock::now();
  if (!userIDAvailable && tokenExpiration_ && tokenExpiration_->timeIntervalSince(now) <= 0) {
    stitchingToken_.reset();
    tokenExpiration_.reset();
  }
  if (!stitchingToken_) {
    stitchingToken_ = randomAppInstanceID();
    if (!userIDAvailable) tokenExpiration_ = now.addingTimeInterval(86400);
  }
  return stitchingToken_;
}

void MSRIdentity::resetSessionStitchingToken() {
  std::lock_guard lock(mutex_);
  stitchingToken_.reset();
  tokenExpiration_.reset();
}

std::string MSRIdentity::ephemeralAppInstanceID() {
  std::lock_guard lock(mutex_);
  if (!ephemeralAppInstanceID_) ephemeralAppInstanceID_ = randomAppInstanceID();
  return *ephemeralAppInstanceID_;
}

void MSRIdentity::resetEphemeralAppInstanceID() {
  std::lock_guard lock(mutex_);
  ephemeralAppInstanceID_.reset();
}
