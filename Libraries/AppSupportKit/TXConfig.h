// The kit's remote configuration: a property list the maker publishes per
// application, fetched from `remoteURL`, resolved for this device and this
// install (TXConfigResolution.h), cached as "Prefs.plist" in Documents, and
// read by group and key over defaults set in code.
//
// - Lookups see the last configuration fetched in this process, else the
//   cached file of an earlier run, else only the code defaults.
// - fetchConfigFromServer is called on the main thread; the download and
//   parsing run on the serial queue "TXConfigQueue" and the configuration is
//   swapped whole there. Waiting completions run on the main queue in call
//   order, then "ConfigFetchedNotification" is posted (after every attempt,
//   a skipped one too). A fetch within "app"/"configMinFetchInterval"
//   seconds of the last successful one is skipped.
// - A failed download, or a cache that could not be serialised or written,
//   leaves the last-fetch date as it was, so the next call fetches again. A
//   failed download changes neither the values nor the file.
// - Typed reads accept only values of their type: a number (or a string
//   that is wholly a number) for numbers, a date for triggers. Anything else
//   counts as absent and the code default applies, so one mistyped
//   published value cannot break a launch.
//
// All operations are thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

namespace dispatch {
class Queue;
}

class TXConfig {
 public:
  static constexpr const char* kConfigFetchedNotification = "ConfigFetchedNotification";
  static constexpr const char* kLastFetchKey = "tavrix.TXConfig.LastFetchKey";
  static constexpr const char* kGroupSlotKey = "tavrix.TXConfig.GroupSlotKey";
  static constexpr const char* kTriggerStampKeyPrefix = "tavrix.TXConfig.triggerStamp.";
  static constexpr const char* kLocalConfigFileName = "Prefs.plist";
  static constexpr double kDefaultMinFetchInterval = 3600;
  // A stalled server must not keep `fetching` set for good.
  static constexpr double kDownloadTimeout = 60;

  static TXConfig& sharedInstance();

  std::optional<ns::URL> remoteURL() const;
  void setRemoteURL(std::optional<ns::URL> url);
  bool fetching() const;

  // Starts a fetch, or joins the running one, or (within the minimum
  // interval) answers on the main queue without a download. Without a
  // remote URL nothing happens: no completion, no notification.
  void fetchConfigFromServer(std::function<void()> completion = nullptr);

  // The resolved group; none when absent or not a dictionary.
  std::optional<ns::Dictionary> group(const std::string& name) const;
  // The fetched or cached value.
  std::optional<ns::Value> overridingValueForGroup(const std::string& group, const std::string& key) const;
  std::optional<ns::Value> defaultValueForGroup(const std::string& group, const std::string& key) const;
  // None removes the default.
  void setDefaultValue(const std::string& group, const std::string& key, std::optional<ns::Value> value);
  // The overriding value, else the code default.
  std::optional<ns::Value> valueForGroup(const std::string& group, const std::string& key) const;
  ns::Value valueForGroup(const std::string& group, const std::string& key, const ns::Value& defaultValue) const;
  // The first value this process saw for group and key (an absent one is
  // asked again next time).
  std::optional<ns::Value> valuePerSessionForGroup(const std::string& group, const std::string& key);

  // A number from the overriding value, else from the code default; none
  // when neither is a number or a numeric string.
  std::optional<double> numberForGroup(const std::string& group, const std::string& key) const;
  int32_t int32ForGroup(const std::string& group, const std::string& key) const;
  int64_t integerForGroup(const std::string& group, const std::string& key, int64_t defaultValue) const;

  // The date trigger: YES when the configuration holds a date and the stamp
  // stored for group and key (standard defaults) is missing or earlier; the
  // date then becomes the stamp. The first date seen fires, whatever it is.
  bool shouldTriggerGroup(const std::string& group, const std::string& key);

  // This install's slot, 0 to 99, drawn once and kept in the standard
  // defaults.
  uint64_t groupSlot();
  std::optional<ns::Date> lastFetchTime() const;
  void setLastFetchTime(std::optional<ns::Date> date);
  std::string localConfigFile() const;

  // The kit's own keys.
  std::optional<ns::Value> appAppStoreID() const { return valueForGroup("app", "appStoreID"); }
  std::optional<ns::Value> appSupportEmail() const { return valueForGroup("app", "supportEmail"); }
  std::optional<ns::Value> appAffiliateToken() const { return valueForGroup("app", "affiliateToken"); }
  std::optional<ns::Value> appMoreApps() const { return valueForGroup("app", "moreApps"); }
  int32_t appMoreAppsUsesUntilPrompt() const { return int32ForGroup("app", "moreAppsUsesUntilPrompt"); }
  bool appMoreAppsPromptReset() { return shouldTriggerGroup("app", "moreAppsPromptReset"); }
  bool appMoreAppsBadgeReset() { return shouldTriggerGroup("app", "moreAppsBadgeReset"); }
  std::optional<ns::Value> appShowWhatsNewInVersion() const { return valueForGroup("app", "showWhatsNewInVersion"); }
  int32_t appShowTipsAfterUsesCount() const { return int32ForGroup("app", "showTipsAfterUsesCount"); }
  float rateDaysUntilPrompt() const;
  int32_t rateUsesUntilPrompt() const { return int32ForGroup("rate", "usesUntilPrompt"); }
  bool rateReset() { return shouldTriggerGroup("rate", "reset"); }

  // Tests: an overriding value set in place of a fetched one, and the state
  // of a new process on the current device (the cache read again, code
  // defaults and per-session values cleared, no URL). Not while fetching.
  void setValue(const std::string& group, const std::string& key, ns::Value value);
  void reset();

 private:
  TXConfig();
  using Prefs = std::shared_ptr<const ns::Dictionary>;
  static std::string combinedKey(const std::string& group, const std::string& key);
  Prefs prefs() const;
  void setPrefs(Prefs prefs);
  // Run on the config queue.
  bool download(const ns::URL& url);
  bool writeCache(const ns::Dictionary& prefs);
  // Run on the main queue.
  void finishFetch(bool succeeded);

  std::shared_ptr<dispatch::Queue> queue_;
  mutable std::mutex mutex_;
  std::optional<ns::URL> remoteURL_;
  Prefs prefs_;
  std::map<std::string, ns::Value> perSessionVars_;
  std::map<std::string, ns::Value> defaults_;
  bool fetching_ = false;
  std::vector<std::function<void()>> completionBlocks_;
  std::mutex slotMutex_;
  std::mutex triggerMutex_;
};
