#include "Libraries/Measurement/Core/MSREnvironmentInfo.h"

#include <cerrno>
#include <cstring>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/StringCase.h"
#include "Platform/Foundation/TimeZone.h"

const std::shared_ptr<MSREnvironmentInfo>& MSREnvironmentInfo::sharedInstance() {
  static const auto* instance = new std::shared_ptr<MSREnvironmentInfo>(std::make_shared<MSREnvironmentInfo>());
  return *instance;
}

std::string MSREnvironmentInfo::deviceModel() {
  std::lock_guard lock(mutex_);
  if (deviceModel_.empty()) {
    deviceModel_ = MSRAEU::deviceModel();
    if (deviceModel_.empty()) {
      MSRMeasurement::monitor()->logWithLevel(2, 14000, "Failed to get device model",
                                              std::string(std::strerror(errno)));
    }
  }
  return deviceModel_;
}

std::string MSREnvironmentInfo::deviceOSVersion() const { return MSRAEU::systemVersion(); }

std::optional<std::string> MSREnvironmentInfo::userDefaultLanguage() const {
  std::vector<std::string> languages = ns::Locale::preferredLanguages();
  if (languages.empty()) {
    MSRMeasurement::monitor()->logWithLevel(2, 14001, "Failed to get preferred language");
    return std::nullopt;
  }
  return ns::lowercaseString(languages.front());
}

int32_t MSREnvironmentInfo::timeZoneOffsetMinutes() const {
  return static_cast<int32_t>(ns::TimeZone::defaultZone().secondsFromGMT() / 60.0);
}
