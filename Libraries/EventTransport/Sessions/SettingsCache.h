// Where the downloaded sessions settings are kept between launches: the
// standard user defaults, under two keys:
//   "dozaveve-sessions-settings"   the settings dictionary (a property-list
//                                  dictionary)
//   "dozaveve-sessions-cache-key"  its CacheKey, as JSON data
// Each single write goes through at once and is safe from any thread; a
// reader sees either the old or the new value.
#pragma once

#include <memory>
#include <optional>

#include "Libraries/EventTransport/Sessions/CacheKey.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/Value.h"

inline constexpr const char* kSettingsCacheContentKey = "dozaveve-sessions-settings";
inline constexpr const char* kSettingsCacheKeyKey = "dozaveve-sessions-cache-key";

class SettingsCacheClient {
 public:
  virtual ~SettingsCacheClient() = default;

  // Empty when nothing (or something other than a dictionary) is stored.
  virtual ns::Dictionary cacheContent() const = 0;
  virtual void setCacheContent(const ns::Dictionary& content) = 0;
  // Absent when missing or unreadable; an unreadable key is logged
  // ("[Settings] Decoding CacheKey failed with error: ...", error).
  virtual std::optional<CacheKey> cacheKey() const = 0;
  // An encoding failure is logged ("[Settings] Encoding CacheKey failed
  // with error: ...", error) and leaves the stored key as it was.
  virtual void setCacheKey(const CacheKey& key) = 0;
  // Removes both entries.
  virtual void removeCachedSettings() = 0;
};

class SettingsCache : public SettingsCacheClient {
 public:
  // Over the standard user defaults unless given others.
  explicit SettingsCache(std::shared_ptr<ns::UserDefaults> cache = ns::UserDefaults::standardUserDefaults());

  ns::Dictionary cacheContent() const override;
  void setCacheContent(const ns::Dictionary& content) override;
  std::optional<CacheKey> cacheKey() const override;
  void setCacheKey(const CacheKey& key) override;
  void removeCachedSettings() override;

 private:
  std::shared_ptr<ns::UserDefaults> cache_;
};
