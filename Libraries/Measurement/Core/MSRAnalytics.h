// The analytics interface of the measurement engine: its settings store
// (the suite "MSRAnalyticsSuiteName") and the process's load time, which
// the engine reads and writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

class MSRAnalytics {
 public:
  // Whether the persisted configuration lives as a property list in
  // Application Support (YES) or in a defaults suite (NO): the BOOL
  // "persistent_config_in_application_support_enabled" of the suite
  // "MSRAnalyticsSuiteName", NO when absent. Read when a persisted
  // configuration is made, so a change applies to the next one.
  static bool persistentConfigInApplicationSupportEnabled();
  static void setPersistentConfigInApplicationSupportEnabled(bool enabled);

  // "reset_retry_count": resets asked for and not yet carried out; a count
  // below 1 removes the key.
  static int64_t resetRetryCount();
  static void setResetRetryCount(int64_t count);
  // "need_first_open_after_reset".
  static bool needFirstOpenAfterReset();
  static void setNeedFirstOpenAfterReset(bool need);
  static void removeNeedFirstOpenAfterReset();
  // "app_instance_id_after_reset"; none removes it.
  static std::optional<std::string> appInstanceIDAfterReset();
  static void setAppInstanceIDAfterReset(const std::optional<std::string>& appInstanceID);
  // "deferred_analytics_collection", whatever object it holds.
  static std::optional<ns::Value> deferredAnalyticsCollection();
  static void setDeferredAnalyticsCollection(const std::optional<ns::Value>& value);
  // "deferred_consent_reset".
  static std::optional<ns::Value> deferredResetOnDeniedConsent();
  static void removeDeferredResetOnDeniedConsent();

  // When the process loaded measurement, seconds since 1970: the first
  // read's clock time until set.
  static double loadTimestamp();
  static void setLoadTimestamp(double seconds);
};
