// The sessions settings the app's developer fixed in the main bundle's
// Info.plist, read again at every call:
//   "DozaveveSessionsEnabled"      a property-list Boolean (an integer or a
//                                  string such as "NO" gives no value)
//   "DozaveveSessionsSampingRate"  any number (spelt exactly so)
//   "DozaveveSessionsTimeout"      any number of seconds
// A missing key, or a value of another type, gives no value.
#pragma once

#include "Libraries/EventTransport/Sessions/SettingsProvider.h"

inline constexpr const char* kLocalOverrideSessionsEnabledKey = "DozaveveSessionsEnabled";
inline constexpr const char* kLocalOverrideSamplingRateKey = "DozaveveSessionsSampingRate";
inline constexpr const char* kLocalOverrideSessionTimeoutKey = "DozaveveSessionsTimeout";

class LocalOverrideSettings : public SettingsProvider {
 public:
  std::optional<bool> sessionsEnabled() const override;
  std::optional<double> samplingRate() const override;
  std::optional<double> sessionTimeout() const override;
};
