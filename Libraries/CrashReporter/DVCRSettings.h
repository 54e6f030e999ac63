// The crash reporter's remote settings: the endpoint's JSON document cached
// as settings/settings.json beside a cache key (settings/cache-key.json:
// when, for which app, build and version it was fetched). Every accessor
// answers from the document, or its default where a key is absent. Expired
// settings keep answering until a new download is committed.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/CrashReporter/DVCRApplicationIdentifierModel.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Platform/Foundation/Value.h"

class DVCRSettings : public std::enable_shared_from_this<DVCRSettings> {
 public:
  DVCRSettings(std::shared_ptr<DVCRFileManager> fileManager,
               std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel);

  // `currentTimestamp`: seconds since 1 January 2001.
  void reloadFromCacheWithZororiAppID(const std::string& zororiAppID, double currentTimestamp);
  // Writes a new cache key for the settings file in place, then reloads.
  void cacheSettingsWithZororiAppID(const std::string& zororiAppID, double currentTimestamp);
  // No document, or its cache key expired.
  bool isCacheExpired() const;
  // Forgets the document at once; the files go on a background queue.
  void deleteCachedSettings();

  std::optional<ns::Dictionary> settingsDictionary() const;
  std::optional<ns::Dictionary> sessionSettings() const;
  std::optional<ns::Dictionary> featuresSettings() const;

  uint32_t cacheDurationSeconds() const;
  bool collectReportsEnabled() const;
  bool errorReportingEnabled() const;
  bool customExceptionsEnabled() const { return errorReportingEnabled(); }
  bool metricKitCollectionEnabled() const;
  uint32_t logBufferSize() const;
  uint32_t errorLogBufferSize() const { return logBufferSize(); }
  uint32_t maxCustomExceptions() const;
  uint32_t maxCustomKeys() const;
  double onDemandUploadRate() const;
  double onDemandBackoffBase() const;
  uint32_t onDemandBackoffStepDuration() const;

 private:
  // The value under `key` of the section (empty: the top level).
  std::optional<ns::Value> value(const char* section, const char* key) const;
  uint32_t unsignedValue(const char* section, const char* key, uint32_t fallback) const;
  bool boolValue(const char* section, const char* key, bool fallback) const;
  double doubleValue(const char* section, const char* key, double fallback) const;
  void expire();

  std::shared_ptr<DVCRFileManager> fileManager_;
  std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel_;
  mutable std::mutex mutex_;
  std::optional<ns::Dictionary> settingsDictionary_;
  bool isCacheKeyExpired_ = false;
};
