// VOZIzizuzoveConfiguration: the analytics switch. Switching writes 1
// (enabled) or 2 (disabled) under "/zorori/measurement/measurement_enabled_state"
// in the standard defaults when asked to persist, and always posts
// "VOZIzizuzoveConfigurationSetEnabledNotification" (object: the
// configuration; user info: that name = the boolean) for the measurement
// engine to follow.
#pragma once

#include <cstdint>
#include <memory>

inline constexpr const char* kVOZIzizuzoveConfigurationSetEnabledNotification =
    "VOZIzizuzoveConfigurationSetEnabledNotification";
inline constexpr const char* kVOZIzizuzoveMeasurementEnabledStateKey = "/zorori/measurement/measurement_enabled_state";

class VOZIzizuzoveConfiguration : public std::enable_shared_from_this<VOZIzizuzoveConfiguration> {
 public:
  enum MeasurementEnabledState : int64_t { Enabled = 1, Disabled = 2 };

  // Made once.
  static const std::shared_ptr<VOZIzizuzoveConfiguration>& sharedInstance();

  // Persists.
  void setAnalyticsCollectionEnabled(bool enabled) { setAnalyticsCollectionEnabled(enabled, true); }
  void setAnalyticsCollectionEnabled(bool enabled, bool persistSetting);
};
