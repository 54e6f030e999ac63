// The monitor's printer: hands a measurement line to the utilities logger
// (ZULLogger.h) at the logger level of the monitor level.
#pragma once

#include <cstdint>
#include <string>

class MSRASLLogger {
 public:
  virtual ~MSRASLLogger() = default;

  // Writes "[I-ACS<code, six digits>] <message>" under the service `logTag`.
  // Every "%" of the message is doubled: the logger takes the message as a
  // format without arguments and prints it as it stands. Level 7 forces the
  // line through.
  virtual void logMessage(const std::string& message, const std::string& logTag, int64_t messageCode,
                          int64_t logLevel);

  // 0-2 -> 3, 3-5 -> 4, 6 -> 5, 7 and 8 -> 7, anything else -> 4.
  static long ZULLoggerLevelFromLogLevel(int64_t logLevel);
};
