// The process-wide consent state of the measurement engine: whether ad and
// analytics storage are granted or denied, which source set that (so that a
// lower-priority source cannot override a higher one), the defaults the
// Info.plist declares, and the consent signals sent with every upload.
//
// Settings map "ad_storage" and "analytics_storage" to "granted" or
// "denied" (other values may be present and count as neither). A source is
// a priority, lower is higher: 100 means none (at start and after a
// clear); the engine uses 10, 20, 30 and 40. Nothing here is persisted: the
// engine reloads its saved settings at start and hands them over.
//
// All state lives on the serial queue "MSRConsentSettingsUtilQueue" (made
// once, utility priority): reads wait on it, writes are queued on it, so a
// read made after a write, from any thread, sees that write. No operation
// may be called from a block already running on that queue.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Value.h"

class MSRConsentSettingsUtil {
 public:
  static constexpr const char* kAdStorage = "ad_storage";
  static constexpr const char* kAnalyticsStorage = "analytics_storage";
  static constexpr const char* kGranted = "granted";
  static constexpr const char* kDenied = "denied";
  static constexpr int64_t kNoSource = 100;

  static const std::shared_ptr<dispatch::Queue>& serialQueue();

  // A copy of the settings, or none.
  static std::optional<ns::Dictionary> consentSettings();
  // Stores a copy; none also resets the source to 100.
  static void setConsentSettings(const std::optional<ns::Dictionary>& settings);
  // The old settings (none counts as empty) with the given entries added or
  // replaced.
  static void updateSettings(const ns::Dictionary& settings);
  // No settings, source 100.
  static void clearAllSettings();

  static int64_t consentSource();
  static void setConsentSource(int64_t source);
  // Whether a source `source` may replace the current settings: the current
  // source is `source` or a lower priority.
  static bool isConsentSourceHigherPriority(int64_t source);

  // 1 at start; only 1 and 2 are taken, anything else ignored.
  static int64_t version();
  static void setVersion(int64_t version);

  // Whether the value is a string equal to "denied" after lower-casing.
  static bool isAdStorageDenied();
  static bool isAnalyticsStorageDenied();

  // Only the "ad_storage" and "analytics_storage" entries of `dictionary`.
  static ns::Dictionary consentSettingsFromDictionary(const ns::Dictionary& dictionary);
  // The Info.plist's defaults: "ZORORI_ANALYTICS_DEFAULT_ALLOW_AD_STORAGE"
  // and "ZORORI_ANALYTICS_DEFAULT_ALLOW_ANALYTICS_STORAGE", each taken when
  // it is a number (YES "granted", NO "denied"); empty when neither is.
  static ns::Dictionary consentSettingsFromPlist();
  // Whether the current settings deny a storage that `previous` (a
  // dictionary, or none) did not deny. A previous value that is not a
  // dictionary, no current settings, or equal settings answer NO.
  static bool didWithdrawPreviousConsent(const std::optional<ns::Value>& previous);
  // "G1" and one character each for ad and analytics storage: "1" granted,
  // "0" denied, "-" absent or anything else ("G1--" without settings).
  static std::string consentSignals();
  // "ad_storage is <value>. analytics_storage is <value>." (an absent value
  // shows as "granted").
  static std::string description();
};
