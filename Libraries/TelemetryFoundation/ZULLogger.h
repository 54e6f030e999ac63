// The utilities logger: the one place where every telemetry component writes
// its coded diagnostic lines. Process-wide functions over the older
// system-log client, which here is the in-process legacy store
// (systemlog::LegacyLogStore; facility "com.zorori.utilities.logger", the
// line's level and the line as "Facility", "Level" and "Message").
//
// A line is "<version> - <service>[<code>] <message>", for example
//   " - [ZULNetwork][I-NET000007] Request failed: 404"
// The caller builds the service tag and the code ("I-" + three capital
// letters + six digits); they are passed through unchecked.
//
// Levels are the system log's severities, 3 (error) to 7 (debug); the
// current level starts at 5 and only lines at or below it pass, unless the
// line is forced or forced debug is on. The pass decision and the formatting
// happen on the caller's thread; the write happens on the serial queue
// "ZULLoggingClientQueue", so lines reach the log in the order their callers
// formatted them. A store install (ZULAppEnvironmentUtil::isFromAppStore)
// never raises the level above warning.
//
// Thread-safe: the level and the forced-debug flag are atomics, the version
// is behind a lock.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "Platform/Foundation/Format.h"

inline constexpr const char* kZULLoggerFacility = "com.zorori.utilities.logger";

enum ZULLoggerLevel : long {
  ZULLoggerLevelError = 3,
  ZULLoggerLevelWarning = 4,
  ZULLoggerLevelNotice = 5,
  ZULLoggerLevelInfo = 6,
  ZULLoggerLevelDebug = 7,
  ZULLoggerLevelMin = ZULLoggerLevelError,
  ZULLoggerLevelMax = ZULLoggerLevelDebug,
};

// Opens the client once per process (every entry below but
// ZULLoggerSetVersion runs it first).
void ZULLoggerInitializeOnce();
// Also writes every later line to file descriptor 2.
void ZULLoggerEnableStandardError();
// Outside a store install, lets every level through and sets the level to 7.
void ZULLoggerForceDebugOutsideAppStore();
// A level outside 3..7 is refused with the error line "I-COR000023" and the
// level is kept.
void ZULLoggerSetLevel(long level);
bool ZULLoggerIsLoggable(long level);
// The prefix of every line ("" until set).
void ZULLoggerSetVersion(std::string_view version);

// The central routine. `force` lets this one line through whatever the
// level. Without `arguments` the format is the message as it stands: a "%"
// in it is kept.
void ZULLoggerLogWithLevel(long level, std::string_view service, bool force, std::string_view messageCode,
                           std::string_view format, std::optional<std::span<const ns::FormatArg>> arguments);

namespace zul_logger_detail {
template <class... Args>
void log(long level, std::string_view service, bool force, std::string_view code, std::string_view format,
         const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    ZULLoggerLogWithLevel(level, service, force, code, format, std::nullopt);
  } else {
    const ns::FormatArg list[] = {ns::FormatArg(args)...};
    ZULLoggerLogWithLevel(level, service, force, code, format, std::span<const ns::FormatArg>(list));
  }
}
}  // namespace zul_logger_detail

// The shorthands at a fixed level; the format's arguments follow it
// (checked at run time, as ns::format does).
template <class... Args>
void ZULLoggerLogError(std::string_view service, bool force, std::string_view code, std::string_view format,
                       const Args&... args) {
  zul_logger_detail::log(ZULLoggerLevelError, service, force, code, format, args...);
}
template <class... Args>
void ZULLoggerLogWarning(std::string_view service, bool force, std::string_view code, std::string_view format,
                         const Args&... args) {
  zul_logger_detail::log(ZULLoggerLevelWarning, service, force, code, format, args...);
}
template <class... Args>
void ZULLoggerLogNotice(std::string_view service, bool force, std::string_view code, std::string_view format,
                        const Args&... args) {
  zul_logger_detail::log(ZULLoggerLevelNotice, service, force, code, format, args...);
}
template <class... Args>
void ZULLoggerLogInfo(std::string_view service, bool force, std::string_view code, std::string_view format,
                      const Args&... args) {
  zul_logger_detail::log(ZULLoggerLevelInfo, service, force, code, format, args...);
}
template <class... Args>
void ZULLoggerLogDebug(std::string_view service, bool force, std::string_view code, std::string_view format,
                       const Args&... args) {
  zul_logger_detail::log(ZULLoggerLevelDebug, service, force, code, format, args...);
}
