// Every line of the sessions part goes through the core logger wrapper with
// one service tag and one message code; levels are the core logger's
// (3 error, 4 warning, 6 info, 7 debug).
#pragma once

#include <string_view>

inline constexpr const char* kZOVSESLogService = "[DozaveveSessions]";
inline constexpr const char* kZOVSESLogMessageCode = "I-SES000000";

// The message is written as it stands, never read as a format.
void ZOVSESLog(long level, std::string_view message);
