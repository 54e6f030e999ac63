// The text forms of the session event's enumerations, as a printed event
// shows them; a value outside an enumeration names the enumeration.
#pragma once

#include <string>

#include "Libraries/EventTransport/Sessions/SessionEvent.pb.h"

// "UNKNOWN", "SESSION_START".
std::string ZOVSESEventTypeText(dozaveve_appvitals_sessions_EventType value);
// "UNKNOWN", "SDK_NOT_INSTALLED", "ENABLED", "DISABLED", "DISABLED_REMOTE", "SAMPLED".
std::string ZOVSESDataCollectionStateText(dozaveve_appvitals_sessions_DataCollectionState value);
// "UNKNOWN_OSNAME", "MACOS", "MACCATALYST", "IOS_ON_MAC", "IOS", "TVOS", "WATCHOS", "IPADOS", "UNSPECIFIED".
std::string ZOVSESOsNameText(dozaveve_appvitals_sessions_OsName value);
// "UNKNOWN", "AUTOPUSH", "STAGING", "PROD".
std::string ZOVSESLogEnvironmentText(dozaveve_appvitals_sessions_LogEnvironment value);
