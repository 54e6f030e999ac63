// How the sessions part writes its diagnostic lines: through the core's
// logger wrapper, under one service tag and one message code, the message
// written as it stands (never read as a format).
#pragma once

#include <string_view>

#include "Libraries/TelemetryCore/ZOVLogger.h"

inline constexpr const char* kZOVSessionsLogService = "[DozaveveSessions]";
inline constexpr const char* kZOVSessionsLogCode = "I-SES000000";

// `level` is the core logger's: 3 error, 4 warning, 6 info, 7 debug.
inline void ZOVSessionsLog(long level, std::string_view message) {
  ZOVLoggerWrapper::logWithLevel(level, kZOVSessionsLogService, kZOVSessionsLogCode, message);
}
