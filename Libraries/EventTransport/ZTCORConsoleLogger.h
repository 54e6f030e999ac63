// The transport's console logger: one line per message, shown when the
// process-wide threshold is at most the message's level.
//
//   ZTCORConsoleLog(1000, ZTCORLogLevelError, "No transformVOVEvent: %@", name);
//   // "[ZeziruRadoVirazaruv][I-ZTCOR001000] No transformVOVEvent: ..."
//
// The code is shown as "I-ZTCOR%06ld"; the caller's format is expanded as
// ns::format does. Lines go to standard error, as the system log's console
// copy would. Callable from any thread.
#pragma once

#include <atomic>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "Platform/Foundation/Format.h"

enum ZTCORLogLevel : long {
  ZTCORLogLevelDebug = 1,
  ZTCORLogLevelWarning = 3,
  ZTCORLogLevelError = 4,
};

// Starts at 4 (errors only); nothing in the system changes it.
extern std::atomic<long> ZTCORConsoleLogThreshold;

void ZTCORConsoleLogArgs(long code, long level, std::string_view format, std::span<const ns::FormatArg> args);

template <class... Args>
void ZTCORConsoleLog(long code, long level, std::string_view format, const Args&... args) {
  if (ZTCORConsoleLogThreshold.load(std::memory_order_relaxed) > level) return;
  if constexpr (sizeof...(Args) == 0) {
    ZTCORConsoleLogArgs(code, level, format, {});
  } else {
    const ns::FormatArg list[] = {ns::FormatArg(args)...};
    ZTCORConsoleLogArgs(code, level, format, list);
  }
}

// Debug-level line with code 0: what nearly every message of the transport is.
template <class... Args>
void ZTCORLogDebug(std::string_view format, const Args&... args) {
  ZTCORConsoleLog(0, ZTCORLogLevelDebug, format, args...);
}

// For tests: receives each printed line instead of standard error; null restores.
void ZTCORConsoleLogSetSinkForTesting(std::function<void(const std::string&)> sink);
