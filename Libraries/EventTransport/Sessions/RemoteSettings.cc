#include "Libraries/EventTransport/Sessions/RemoteSettings.h"

#include "Libraries/EventTransport/Sessions/ZOVSESLog.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"

namespace {

constexpr const char* kAppVitalsKey = "app_vitals";
constexpr const char* kSessionsEnabledKey = "sessions_enabled";
constexpr const char* kSamplingRateKey = "sampling_rate";
constexpr const char* kSessionTimeoutKey = "session_timeout_seconds";
constexpr const char* kCacheDurationKey = "cache_duration";

std::optional<double> numberIn(const ns::Dictionary& dictionary, const char* key) {
  const ns::Value* value = dictionary.find(key);
  if (!value || !(value->isInteger() || value->isReal())) return std::nullopt;
  return value->doubleValue();
}

// What the user defaults can store of a JSON value: everything but null,
// which is dropped wherever it stands (an entry or an array element).
ns::Value withoutNulls(const ns::Value& value) {
  if (const ns::Dictionary* dictionary = value.asDictionary()) {
    ns::Dictionary kept;
    for (const auto& [key, member] : *dictionary) {
      if (!member.isNull()) kept.set(key, withoutNulls(member));
    }
    return ns::Value(std::move(kept));
  }
  if (const ns::Array* array = value.asArray()) {
    ns::Array kept;
    for (const ns::Value& member : *array) {
      if (!member.isNull()) kept.push_back(withoutNulls(member));
    }
    return ns::Value(std::move(kept));
  }
  return value;
}

// The settings first, then the key that dates them.
void store(SettingsCacheClient& cache, const ApplicationInfoProtocol& appInfo, ns::Dictionary settings,
           ns::Date fetchedAt) {
  ns::Value storable = withoutNulls(ns::Value(std::move(settings)));
  cache.setCacheContent(*storable.asDictionary());
  cache.setCacheKey(CacheKey{fetchedAt, appInfo.appID(),
                             CacheKey::appVersionFrom(appInfo.appDisplayVersion(), appInfo.appBuildVersion())});
}

}  // namespace

RemoteSettings::RemoteSettings(std::shared_ptr<const ApplicationInfoProtocol> appInfo,
                               std::shared_ptr<SettingsDownloader> downloader,
                               std::shared_ptr<SettingsCacheClient> cache)
    : appInfo_(std::move(appInfo)), downloader_(std::move(downloader)), cache_(std::move(cache)) {}

namespace {

ns::Dictionary appVitals(const SettingsCacheClient& cache) {
  ns::Dictionary content = cache.cacheContent();
  const ns::Value* vitals = content.find(kAppVitalsKey);
  if (!vitals || !vitals->isDictionary()) return {};
  return *vitals->asDictionary();
}

}  // namespace

std::optional<bool> RemoteSettings::sessionsEnabled() const {
  ns::Dictionary vitals = appVitals(*cache_);
  const ns::Value* value = vitals.find(kSessionsEnabledKey);
  if (!value || !value->isBool()) return std::nullopt;
  return value->boolValue();
}

std::optional<double> RemoteSettings::samplingRate() const { return numberIn(appVitals(*cache_), kSamplingRateKey); }

std::optional<double> RemoteSettings::sessionTimeout() const {
  return numberIn(appVitals(*cache_), kSessionTimeoutKey);
}

double RemoteSettings::cacheDuration() const {
  return numberIn(cache_->cacheContent(), kCacheDurationKey).value_or(kRemoteSettingsDefaultCacheDuration);
}

bool RemoteSettings::isCacheExpired(ns::Date now) const {
  if (cache_->cacheContent().empty()) {
    cache_->removeCachedSettings();
    return true;
  }
  std::optional<CacheKey> key = cache_->cacheKey();
  if (!key) {
    ZOVSESLog(ZULLoggerLevelError, "[Settings] Could not load settings cache key");
    cache_->removeCachedSettings();
    return true;
  }
  if (key->zororiAppID != appInfo_->appID()) {
    ZOVSESLog(ZULLoggerLevelDebug, "[Settings] Cache expired because Zorori App ID changed");
    cache_->removeCachedSettings();
    return true;
  }
  if (now.timeIntervalSince(key->createdAt) > cacheDuration()) {
    ZOVSESLog(ZULLoggerLevelDebug, "[Settings] Cache TTL expired");
    return true;
  }
  if (key->appVersion != CacheKey::appVersionFrom(appInfo_->appDisplayVersion(), appInfo_->appBuildVersion())) {
    ZOVSESLog(ZULLoggerLevelDebug, "[Settings] Cache expired because app version changed");
    return true;
  }
  return false;
}

void RemoteSettings::updateSettings(ns::Date currentTime) {
  if (!isCacheExpired(currentTime)) {
    ZOVSESLog(ZULLoggerLevelDebug, "[Settings] Cache is not expired, no fetch will be made.");
    return;
  }
  // The download keeps what it writes to alive, whatever becomes of this
  // object meanwhile.
  downloader_->fetch([cache = cache_, appInfo = appInfo_, currentTime](SettingsDownloader::Result result) {
    if (auto* settings = std::get_if<ns::Dictionary>(&result)) {
      store(*cache, *appInfo, std::move(*settings), currentTime);
    } else {
      ZOVSESLog(ZULLoggerLevelError, "[Settings] Fetching newest settings failed with error: " +
                                         std::get<SettingsDownloaderError>(result).description());
    }
  });
}
