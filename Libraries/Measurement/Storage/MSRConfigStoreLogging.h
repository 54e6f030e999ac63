// How the configuration stores report: straight through the utilities
// logger (not the measurement monitor) under the service "<DudUziroruvoza>"
// with codes "I-ACS%06ld".
#pragma once

#include <string>

#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Foundation/Format.h"

inline constexpr const char* kMSRConfigStoreLogService = "<DudUziroruvoza>";

inline std::string MSRConfigStoreMessageCode(long code) { return ns::format("I-ACS%06ld", code); }

template <class... Args>
void MSRConfigStoreLogWarning(long code, std::string_view format, const Args&... args) {
  ZULLoggerLogWarning(kMSRConfigStoreLogService, false, MSRConfigStoreMessageCode(code), format, args...);
}

template <class... Args>
void MSRConfigStoreLogError(long code, std::string_view format, const Args&... args) {
  ZULLoggerLogError(kMSRConfigStoreLogService, false, MSRConfigStoreMessageCode(code), format, args...);
}
