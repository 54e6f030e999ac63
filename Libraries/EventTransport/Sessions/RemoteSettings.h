// The sessions settings downloaded from the settings endpoint, as they were
// last cached (SettingsCache.h). Inside the cached dictionary:
//   "app_vitals" → "sessions_enabled"          Boolean
//   "app_vitals" → "sampling_rate"             number
//   "app_vitals" → "session_timeout_seconds"   number of seconds
//   "cache_duration" (top level)               seconds; 3,600 without it
// "app_vitals" that is not a dictionary counts as empty.
//
// The cache is stale (updateSettings downloads again), by the first rule
// that applies:
//   1. no settings (or an empty dictionary) stored: both entries removed;
//   2. no readable cache key: logged, both entries removed;
//   3. the key's app ID is not this app's: logged, both entries removed;
//   4. older than its duration: logged; the values stay until replaced;
//   5. fetched for another app version: logged; the values stay.
// A download replaces the settings and their key only when it succeeds;
// a failure is logged and changes nothing.
#pragma once

#include <memory>
#include <optional>

#include "Libraries/EventTransport/Sessions/ApplicationInfo.h"
#include "Libraries/EventTransport/Sessions/SettingsCache.h"
#include "Libraries/EventTransport/Sessions/SettingsDownloader.h"
#include "Libraries/EventTransport/Sessions/SettingsProvider.h"
#include "Platform/Foundation/Date.h"

inline constexpr double kRemoteSettingsDefaultCacheDuration = 60 * 60.0;

class RemoteSettings : public SettingsProvider {
 public:
  RemoteSettings(std::shared_ptr<const ApplicationInfoProtocol> appInfo, std::shared_ptr<SettingsDownloader> downloader,
                 std::shared_ptr<SettingsCacheClient> cache);

  std::optional<bool> sessionsEnabled() const override;
  std::optional<double> samplingRate() const override;
  std::optional<double> sessionTimeout() const override;

  // Rules 1 to 5 above at `now` (and their clean-ups).
  bool isCacheExpired(ns::Date now) const;
  // When the cache is stale at `currentTime`, starts a download and
  // returns at once; its result is stored stamped with `currentTime`.
  void updateSettings(ns::Date currentTime);

  const std::shared_ptr<SettingsCacheClient>& cache() const { return cache_; }

 private:
  double cacheDuration() const;

  std::shared_ptr<const ApplicationInfoProtocol> appInfo_;
  std::shared_ptr<SettingsDownloader> downloader_;
  std::shared_ptr<SettingsCacheClient> cache_;
};
