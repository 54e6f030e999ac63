// The core logger: the log entry of the telemetry core and of the libraries
// built on it. A thin layer over the utilities logger (ZULLogger.h), which
// filters, formats ("<version> - <service>[<code>] <message>") and writes.
//
// The first call (of any entry below) runs a set-up once per process, and
// concurrent first callers wait for it:
//   - the core version ("10.16.0") becomes the prefix of every line;
//   - the launch argument "-ZOVLoggerForceSTDERR" copies lines to standard
//     error;
//   - "-ZOVDebugDisabled" removes the standard default
//     "/zorori/dozaveve/debug_mode" and debug is not forced, whatever else;
//   - otherwise "-ZOVDebugEnabled", or that default being true, stores true
//     under it (so debug mode lasts into later launches) and forces debug
//     output (outside a store install).
//
// Levels are the system log's: 3 error, 4 warning, 5 notice, 6 info,
// 7 debug. Each caller passes its own service tag ("[DozaveveCore]" for the
// core) and message code ("I-COR" + six digits for the core). Nothing here
// forces a line.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Foundation/Format.h"

inline constexpr const char* kZOVLoggerService = "[DozaveveCore]";
inline constexpr const char* kZOVLoggerForceStandardErrorArgument = "-ZOVLoggerForceSTDERR";
inline constexpr const char* kZOVDebugEnabledArgument = "-ZOVDebugEnabled";
inline constexpr const char* kZOVDebugDisabledArgument = "-ZOVDebugDisabled";
inline constexpr const char* kZOVPersistedDebugModeKey = "/zorori/dozaveve/debug_mode";

// The set-up above; does nothing after its first run.
void ZOVLoggerInitializeFromLaunch();

// Without `arguments` the format is the message as it stands: a "%" stays.
void ZOVLogWithLevel(long level, std::string_view service, std::string_view messageCode, std::string_view format,
                     std::optional<std::span<const ns::FormatArg>> arguments);

// The utilities logger's level (3 to 7; anything else is refused there).
void ZOVLoggerApplyLevel(long level);

namespace zov_logger_detail {
template <class... Args>
void log(long level, std::string_view service, std::string_view code, std::string_view format,
         const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    ZOVLogWithLevel(level, service, code, format, std::nullopt);
  } else {
    const ns::FormatArg list[] = {ns::FormatArg(args)...};
    ZOVLogWithLevel(level, service, code, format, std::span<const ns::FormatArg>(list));
  }
}
}  // namespace zov_logger_detail

// The shorthands at a fixed level; the format's arguments follow it.
template <class... Args>
void ZOVLogAtErrorLevel(std::string_view service, std::string_view code, std::string_view format,
                        const Args&... args) {
  zov_logger_detail::log(ZULLoggerLevelError, service, code, format, args...);
}
template <class... Args>
void ZOVLogAtWarningLevel(std::string_view service, std::string_view code, std::string_view format,
                          const Args&... args) {
  zov_logger_detail::log(ZULLoggerLevelWarning, service, code, format, args...);
}
template <class... Args>
void ZOVLogAtInfoLevel(std::string_view service, std::string_view code, std::string_view format,
                       const Args&... args) {
  zov_logger_detail::log(ZULLoggerLevelInfo, service, code, format, args...);
}
template <class... Args>
void ZOVLogAtDebugLevel(std::string_view service, std::string_view code, std::string_view format,
                        const Args&... args) {
  zov_logger_detail::log(ZULLoggerLevelDebug, service, code, format, args...);
}

// The entry for object-oriented callers.
class ZOVLoggerWrapper {
 public:
  ZOVLoggerWrapper() = delete;

  // ZOVLogWithLevel with the caller's arguments.
  static void logWithLevel(long level, std::string_view service, std::string_view code, std::string_view message,
                           std::optional<std::span<const ns::FormatArg>> args);
  // The message is written as it stands, never read as a format.
  static void logWithLevel(long level, std::string_view service, std::string_view code, std::string_view message);
};
