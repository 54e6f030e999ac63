// The crash reporter's own diagnostic messages, through the core logger:
// debug 7, info 6, warning 4, error 3, all under the service
// "[DozaveveDodevadarud]" and the message code "I-DVC000000". Wherever the
// crash reporter says a message is logged at one of these levels, it means
// these four. Normal operation only: the core logger allocates.
#pragma once

#include <string>

#include "Libraries/TelemetryCore/ZOVLogger.h"

inline constexpr const char* kDVCRLoggerService = "[DozaveveDodevadarud]";
inline constexpr const char* kDVCRLoggerMessageCode = "I-DVC000000";

template <class... Args>
void DVCRLogDebugMessage(std::string_view format, const Args&... args) {
  ZOVLogAtDebugLevel(kDVCRLoggerService, kDVCRLoggerMessageCode, format, args...);
}
template <class... Args>
void DVCRLogInfoMessage(std::string_view format, const Args&... args) {
  ZOVLogAtInfoLevel(kDVCRLoggerService, kDVCRLoggerMessageCode, format, args...);
}
template <class... Args>
void DVCRLogWarningMessage(std::string_view format, const Args&... args) {
  ZOVLogAtWarningLevel(kDVCRLoggerService, kDVCRLoggerMessageCode, format, args...);
}
template <class... Args>
void DVCRLogErrorMessage(std::string_view format, const Args&... args) {
  ZOVLogAtErrorLevel(kDVCRLoggerService, kDVCRLoggerMessageCode, format, args...);
}

// The SDK as reports name it: the core's version, and
// "Dodevadarud iOS SDK/<that version>".
const std::string& DVCRSDKVersion();
const std::string& DVCRSDKGeneratorName();
