// The device facts sent with measurement data. The device model is read
// once; the system version, the preferred language and the time-zone
// offset at each call (they may change while the app runs).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class MSREnvironmentInfo {
 public:
  static const std::shared_ptr<MSREnvironmentInfo>& sharedInstance();

  // MSRAEU::deviceModel(), taken at the first call; "" (logged at level 2,
  // code 14000 "Failed to get device model" with the system error text)
  // when the device reports none, and asked again next time.
  std::string deviceModel();
  std::string deviceOSVersion() const;
  // The most preferred language, lower-cased; none (logged at level 2, code
  // 14001) when the person has none.
  std::optional<std::string> userDefaultLanguage() const;
  // The default time zone's offset from GMT now, in whole minutes
  // truncated toward zero (5 h 45 min east gives 345).
  int32_t timeZoneOffsetMinutes() const;

  MSREnvironmentInfo() = default;

 private:
  std::mutex mutex_;
  std::string deviceModel_;
};
