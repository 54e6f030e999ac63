#include "Libraries/Measurement/Core/MSRASLLogger.h"

#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Foundation/Format.h"

void MSRASLLogger::logMessage(const std::string& message, const std::string& logTag, int64_t messageCode,
                              int64_t logLevel) {
  std::string text;
  text.reserve(message.size());
  for (char c : message) {
    text += c;
    if (c == '%') text += '%';
  }
  ZULLoggerLogWithLevel(ZULLoggerLevelFromLogLevel(logLevel), logTag, logLevel == 7,
                        ns::format("I-ACS%06ld", static_cast<long>(messageCode)), text, std::nullopt);
}

long MSRASLLogger::ZULLoggerLevelFromLogLevel(int64_t logLevel) {
  if (logLevel >= 0 && logLevel <= 2) return ZULLoggerLevelError;
  if (logLevel >= 3 && logLevel <= 5) return ZULLoggerLevelWarning;
  if (logLevel == 6) return ZULLoggerLevelNotice;
  if (logLevel == 7 || logLevel == 8) return ZULLoggerLevelDebug;
  return ZULLoggerLevelWarning;
}
