#include "Libraries/EventTransport/Sessions/SettingsCache.h"

#include "Libraries/EventTransport/Sessions/ZOVSESLog.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"

SettingsCache::SettingsCache(std::shared_ptr<ns::UserDefaults> cache) : cache_(std::move(cache)) {}

ns::Dictionary SettingsCache::cacheContent() const {
  return cache_->dictionaryForKey(kSettingsCacheContentKey).value_or(ns::Dictionary{});
}

void SettingsCache::setCacheContent(const ns::Dictionary& content) {
  cache_->setObject(ns::Value(content), kSettingsCacheContentKey);
}

std::optional<CacheKey> SettingsCache::cacheKey() const {
  std::optional<ns::Data> data = cache_->dataForKey(kSettingsCacheKeyKey);
  if (!data) return std::nullopt;
  ns::Error error;
  std::optional<CacheKey> key = CacheKey::decode(*data, &error);
  if (!key) {
    ZOVSESLog(ZULLoggerLevelError, "[Settings] Decoding CacheKey failed with error: " + error.localizedDescription());
  }
  return key;
}

void SettingsCache::setCacheKey(const CacheKey& key) {
  ns::Error error;
  std::optional<ns::Data> data = key.encoded(&error);
  if (!data) {
    ZOVSESLog(ZULLoggerLevelError, "[Settings] Encoding CacheKey failed with error: " + error.localizedDescription());
    return;
  }
  cache_->setObject(ns::Value(std::move(*data)), kSettingsCacheKeyKey);
}

void SettingsCache::removeCachedSettings() {
  cache_->removeObjectForKey(kSettingsCacheContentKey);
  cache_->removeObjectForKey(kSettingsCacheKeyKey);
}
