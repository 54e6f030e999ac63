#include "Libraries/EventTransport/Sessions/SessionEventDescriptions.h"

#include <array>

namespace {

template <size_t N>
std::string textOf(const std::array<const char*, N>& texts, int value, const char* enumName) {
  if (value >= 0 && static_cast<size_t>(value) < N) return texts[value];
  return std::string("Unrecognized ") + enumName + ". Please update the dozaveve_appvitals_sessions_" + enumName +
         " CustomStringConvertible extension";
}

}  // namespace

std::string ZOVSESEventTypeText(dozaveve_appvitals_sessions_EventType value) {
  static constexpr std::array kTexts = {"UNKNOWN", "SESSION_START"};
  return textOf(kTexts, value, "EventType");
}

std::string ZOVSESDataCollectionStateText(dozaveve_appvitals_sessions_DataCollectionState value) {
  static constexpr std::array kTexts = {"UNKNOWN",  "SDK_NOT_INSTALLED", "ENABLED",
                                        "DISABLED", "DISABLED_REMOTE",   "SAMPLED"};
  return textOf(kTexts, value, "DataCollectionState");
}

std::string ZOVSESOsNameText(dozaveve_appvitals_sessions_OsName value) {
  static constexpr std::array kTexts = {"UNKNOWN_OSNAME", "MACOS",   "MACCATALYST", "IOS_ON_MAC", "IOS",
                                        "TVOS",           "WATCHOS", "IPADOS",      "UNSPECIFIED"};
  return textOf(kTexts, value, "OsName");
}

std::string ZOVSESLogEnvironmentText(dozaveve_appvitals_sessions_LogEnvironment value) {
  static constexpr std::array kTexts = {"UNKNOWN", "AUTOPUSH", "STAGING", "PROD"};
  return textOf(kTexts, value, "LogEnvironment");
}
