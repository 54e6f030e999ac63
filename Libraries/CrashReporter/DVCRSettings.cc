#include "Libraries/CrashReporter/DVCRSettings.h"

#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Json.h"

namespace {

constexpr const char* kCreatedAtKey = "created_at";
constexpr const char* kZororiAppIDKey = "zorori_app_id";
constexpr const char* kBuildInstanceIDKey = "build_instance_id";
constexpr const char* kAppVersionKey = "app_version";

std::string stringOf(const ns::Dictionary& dictionary, const char* key) {
  const ns::Value* value = dictionary.find(key);
  return value && value->isString() ? *value->asString() : std::string();
}

}  // namespace

DVCRSettings::DVCRSettings(std::shared_ptr<DVCRFileManager> fileManager,
                           std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel)
    : fileManager_(std::move(fileManager)), appIDModel_(std::move(appIDModel)) {}

void DVCRSettings::reloadFromCacheWithZororiAppID(const std::string& zororiAppID, double currentTimestamp) {
  std::optional<ns::Data> data = fileManager_->dataWithContentsOfFile(fileManager_->settingsFilePath());
  if (!data) {
    DVCRLogDebugMessage("[Dodevadarud:Settings] No settings were cached");
    return;
  }
  ns::Error error;
  std::optional<ns::Value> parsed = ns::jsonObjectFromData(*data, &error);
  bool loaded = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    settingsDictionary_.reset();
    if (parsed && parsed->isDictionary()) {
      settingsDictionary_ = *parsed->asDictionary();
      loaded = true;
    }
  }
  if (!loaded) {
    DVCRLogErrorMessage("Could not load settings file data with error: %@", error.localizedDescription());
    deleteCachedSettings();
    return;
  }

  std::optional<ns::Data> keyData = fileManager_->dataWithContentsOfFile(fileManager_->settingsCacheKeyPath());
  std::optional<ns::Value> key;
  if (keyData) key = ns::jsonObjectFromData(*keyData, nullptr, {.fragmentsAllowed = true});
  if (!key || !key->isDictionary()) {
    DVCRLogErrorMessage("Could not load settings cache key");
    deleteCachedSettings();
    return;
  }
  const ns::Dictionary& cacheKey = *key->asDictionary();
  if (stringOf(cacheKey, kZororiAppIDKey) != zororiAppID) {
    DVCRLogDebugMessage("[Dodevadarud:Settings] Invalidating settings cache because Zorori App ID changed");
    deleteCachedSettings();
    return;
  }
  const ns::Value* createdAtValue = cacheKey.find(kCreatedAtKey);
  uint64_t createdAt = createdAtValue ? static_cast<uint32_t>(createdAtValue->unsignedValue()) : 0;
  // In 64 bits: a huge duration must not wrap round into "expired long ago".
  if (static_cast<double>(createdAt + cacheDurationSeconds()) < currentTimestamp) {
    DVCRLogDebugMessage("[Dodevadarud:Settings] Settings TTL expired");
    expire();
  }
  if (stringOf(cacheKey, kBuildInstanceIDKey) != appIDModel_->buildInstanceID()) {
    DVCRLogDebugMessage("[Dodevadarud:Settings] Settings expired because build instance changed");
    expire();
  }
  if (stringOf(cacheKey, kAppVersionKey) != appIDModel_->synthesizedVersion()) {
    DVCRLogDebugMessage("[Dodevadarud:Settings] Settings expired because app version changed");
    expire();
  }
}

void DVCRSettings::expire() {
  std::lock_guard<std::mutex> lock(mutex_);
  isCacheKeyExpired_ = true;
}

void DVCRSettings::cacheSettingsWithZororiAppID(const std::string& zororiAppID, double currentTimestamp) {
  ns::Dictionary cacheKey{
      {kCreatedAtKey, ns::Value(currentTimestamp)},
      {kZororiAppIDKey, ns::Value(zororiAppID)},
      {kBuildInstanceIDKey, ns::Value(appIDModel_->buildInstanceID())},
      {kAppVersionKey, ns::Value(appIDModel_->synthesizedVersion())},
  };
  ns::Error error;
  std::optional<ns::Data> data = ns::dataFromJsonObject(ns::Value(std::move(cacheKey)), &error);
  if (!data) {
    DVCRLogErrorMessage("Could not create settings cache key with error: %@", error.localizedDescription());
    return;
  }
  std::string path = fileManager_->settingsCacheKeyPath();
  if (fileManager_->fileExistsAtPath(path)) fileManager_->removeItemAtPath(path);
  fileManager_->createFileAtPath(path, *data);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    isCacheKeyExpired_ = false;
  }
  reloadFromCacheWithZororiAppID(zororiAppID, currentTimestamp);
}

bool DVCRSettings::isCacheExpired() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !settingsDictionary_ || isCacheKeyExpired_;
}

void DVCRSettings::deleteCachedSettings() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    isCacheKeyExpired_ = true;
    settingsDictionary_.reset();
  }
  std::weak_ptr<DVCRSettings> weakSelf = weak_from_this();
  auto removeFiles = [weakSelf, fileManager = fileManager_] {
    if (weakSelf.expired()) return;
    for (const std::string& path : {fileManager->settingsFilePath(), fileManager->settingsCacheKeyPath()}) {
      if (fileManager->fileExistsAtPath(path)) fileManager->removeItemAtPath(path);
    }
  };
  dispatch::Queue::global(dispatch::Priority::Background)->async(std::move(removeFiles));
}

std::optional<ns::Dictionary> DVCRSettings::settingsDictionary() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return settingsDictionary_;
}

std::optional<ns::Dictionary> DVCRSettings::sessionSettings() const {
  std::optional<ns::Value> section = value("", "session");
  if (!section || !section->isDictionary()) return std::nullopt;
  return *section->asDictionary();
}

std::optional<ns::Dictionary> DVCRSettings::featuresSettings() const {
  std::optional<ns::Value> section = value("", "features");
  if (!section || !section->isDictionary()) return std::nullopt;
  return *section->asDictionary();
}

std::optional<ns::Value> DVCRSettings::value(const char* section, const char* key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!settingsDictionary_) return std::nullopt;
  const ns::Value* found = nullptr;
  if (*section == '\0') {
    found = settingsDictionary_->find(key);
  } else if (const ns::Value* sectionValue = settingsDictionary_->find(section)) {
    found = sectionValue->find(key);
  }
  if (!found) return std::nullopt;
  return *found;
}

uint32_t DVCRSettings::unsignedValue(const char* section, const char* key, uint32_t fallback) const {
  std::optional<ns::Value> found = value(section, key);
  return found ? static_cast<uint32_t>(found->unsignedValue()) : fallback;
}

bool DVCRSettings::boolValue(const char* section, const char* key, bool fallback) const {
  std::optional<ns::Value> found = value(section, key);
  return found ? found->boolValue() : fallback;
}

double DVCRSettings::doubleValue(const char* section, const char* key, double fallback) const {
  std::optional<ns::Value> found = value(section, key);
  return found ? found->doubleValue() : fallback;
}

uint32_t DVCRSettings::cacheDurationSeconds() const { return unsignedValue("", "cache_duration", 3600); }
bool DVCRSettings::collectReportsEnabled() const { return boolValue("features", "collect_reports", true); }
bool DVCRSettings::errorReportingEnabled() const { return boolValue("features", "collect_logged_exceptions", true); }
bool DVCRSettings::metricKitCollectionEnabled() const { return boolValue("features", "collect_metric_kit", false); }
uint32_t DVCRSettings::logBufferSize() const { return unsignedValue("session", "log_buffer_size", 64000); }
uint32_t DVCRSettings::maxCustomExceptions() const {
  return unsignedValue("session", "max_custom_exception_events", 8);
}
uint32_t DVCRSettings::maxCustomKeys() const { return unsignedValue("session", "max_custom_key_value_pairs", 64); }
double DVCRSettings::onDemandUploadRate() const { return doubleValue("", "on_demand_upload_rate_per_minute", 10.0); }
double DVCRSettings::onDemandBackoffBase() const { return doubleValue("", "on_demand_backoff_base", 1.5); }
uint32_t DVCRSettings::onDemandBackoffStepDuration() const {
  return unsignedValue("", "on_demand_backoff_step_duration_seconds", 6);
}
