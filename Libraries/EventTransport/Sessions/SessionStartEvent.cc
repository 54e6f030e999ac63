#include "Libraries/EventTransport/Sessions/SessionStartEvent.h"

#include <pb_decode.h>

#include <algorithm>
#include <cstdint>
#include <map>

#include "Libraries/EventTransport/Sessions/ZOVSESLog.h"
#include "Libraries/EventTransport/Sessions/ZOVSESUtilities.h"
#include "Libraries/TelemetryCore/ZOVCoreVersion.h"
#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/Foundation/StringCase.h"

namespace {

// Replaces the array a string field holds. A text the library cannot hold
// (over 65,535 bytes) leaves the field absent rather than stale.
void setString(pb_bytes_array_t** field, const std::optional<std::string>& text) {
  ZOVSESNanopbFree(*field);
  *field = ZOVSESBytesArrayFromString(text);
}

dozaveve_appvitals_sessions_LogEnvironment logEnvironment(const std::string& environment) {
  if (environment == "staging") return dozaveve_appvitals_sessions_LogEnvironment_LOG_ENVIRONMENT_STAGING;
  if (environment == "autopush") return dozaveve_appvitals_sessions_LogEnvironment_LOG_ENVIRONMENT_AUTOPUSH;
  return dozaveve_appvitals_sessions_LogEnvironment_LOG_ENVIRONMENT_PROD;
}

}  // namespace

SessionStartEvent::SessionStartEvent(const SessionInfo& session, const ApplicationInfoProtocol& appInfo,
                                     const TimeProvider& time) {
  auto& event = proto_.get();
  event.event_type = dozaveve_appvitals_sessions_EventType_SESSION_START;

  auto& data = event.session_data;
  setString(&data.session_id, session.sessionId);
  setString(&data.first_session_id, session.firstSessionId);
  data.session_index = session.sessionIndex;
  data.event_timestamp_us = static_cast<int64_t>(std::min<uint64_t>(time.timestampUs(), INT64_MAX));
  constexpr auto kNotInstalled = dozaveve_appvitals_sessions_DataCollectionState_COLLECTION_SDK_NOT_INSTALLED;
  data.data_collection_status.performance = kNotInstalled;
  data.data_collection_status.dodevadarud = kNotInstalled;

  auto& application = event.application_info;
  setString(&application.app_id, appInfo.appID());
  setString(&application.session_sdk_version, ZOVCoreVersionString());
  setString(&application.os_version, ZULAppEnvironmentUtil::systemVersion());
  application.log_environment = logEnvironment(appInfo.environment());
  setString(&application.device_model, ZULAppEnvironmentUtil::deviceSimulatorModel().value_or(""));

  application.which_platform_info = ZOVSESAppleAppInfoTag();
  auto& apple = application.platform_info.apple_app_info;
  setString(&apple.bundle_short_version, appInfo.appDisplayVersion());
  setString(&apple.app_build_version, appInfo.appBuildVersion());
  apple.os_name = osNameFromString(ZULAppEnvironmentUtil::appleDevicePlatform());
  setString(&apple.operator_code, "");
  apple.network_connection_info.network_type = networkType(-1);
  apple.network_connection_info.mobile_subtype = networkSubtype("");
}

void SessionStartEvent::setInstallationID(const std::string& installationID) {
  std::lock_guard lock(mutex_);
  setString(&proto_->session_data.dozaveve_installation_id, installationID);
}

void SessionStartEvent::setDodevadarudState(dozaveve_appvitals_sessions_DataCollectionState state) {
  std::lock_guard lock(mutex_);
  proto_->session_data.data_collection_status.dodevadarud = state;
}

void SessionStartEvent::setPerformanceState(dozaveve_appvitals_sessions_DataCollectionState state) {
  std::lock_guard lock(mutex_);
  proto_->session_data.data_collection_status.performance = state;
}

void SessionStartEvent::setSamplingRate(double rate) {
  std::lock_guard lock(mutex_);
  proto_->session_data.data_collection_status.session_sampling_rate = rate;
}

void SessionStartEvent::setOperatorCode(const std::string& operatorCode) {
  std::lock_guard lock(mutex_);
  setString(&proto_->application_info.platform_info.apple_app_info.operator_code, operatorCode);
}

void SessionStartEvent::setNetworkType(int32_t reachabilityNetworkType) {
  std::lock_guard lock(mutex_);
  proto_->application_info.platform_info.apple_app_info.network_connection_info.network_type =
      networkType(reachabilityNetworkType);
}

void SessionStartEvent::setMobileSubtype(const std::string& radioAccessTechnology) {
  std::lock_guard lock(mutex_);
  proto_->application_info.platform_info.apple_app_info.network_connection_info.mobile_subtype =
      networkSubtype(radioAccessTechnology);
}

ns::Data SessionStartEvent::encodeProto() const {
  std::lock_guard lock(mutex_);
  return encodeOrEmpty(dozaveve_appvitals_sessions_SessionEvent_fields, &proto_.get());
}

ns::Data SessionStartEvent::encodeOrEmpty(const pb_msgdesc_t* fields, const void* message) {
  ns::Error error;
  std::optional<ns::Data> data = ZOVSESNanopbEncodeMessage(fields, message, &error);
  if (!data) {
    ZOVSESLog(ZULLoggerLevelError, "Session Event failed to encode as proto with error: " + error.description());
    ZOVSESLog(ZULLoggerLevelError, "Session Event generated nil transportBytes. Returning empty data.");
    return {};
  }
  return *data;
}

SessionEventMessage SessionStartEvent::decodedProto() const {
  ns::Data bytes = encodeProto();
  SessionEventMessage decoded;
  pb_istream_t stream = pb_istream_from_buffer(bytes.data(), bytes.size());
  if (!pb_decode(&stream, dozaveve_appvitals_sessions_SessionEvent_fields, &decoded.get())) {
    ZOVSESLog(ZULLoggerLevelError, "Session Event failed to decode transportBytes: " + ZOVSESNanopbErrorText(stream));
  }
  return decoded;
}

dozaveve_appvitals_sessions_OsName SessionStartEvent::osNameFromString(const std::string& platform) {
  static const std::map<std::string, dozaveve_appvitals_sessions_OsName> kNames = {
      {"macos", dozaveve_appvitals_sessions_OsName_MACOS},
      {"maccatalyst", dozaveve_appvitals_sessions_OsName_MACCATALYST},
      {"ios_on_mac", dozaveve_appvitals_sessions_OsName_IOS_ON_MAC},
      {"ios", dozaveve_appvitals_sessions_OsName_IOS},
      {"tvos", dozaveve_appvitals_sessions_OsName_TVOS},
      {"watchos", dozaveve_appvitals_sessions_OsName_WATCHOS},
      {"ipados", dozaveve_appvitals_sessions_OsName_IPADOS},
  };
  auto name = kNames.find(ns::lowercaseString(platform));
  if (name != kNames.end()) return name->second;
  ZOVSESLog(ZULLoggerLevelWarning, "Found unknown OSName: \"" + platform + "\" while converting.");
  return dozaveve_appvitals_sessions_OsName_UNKNOWN_OSNAME;
}

uint32_t SessionStartEvent::networkType(int32_t reachabilityNetworkType) {
  switch (reachabilityNetworkType) {
    case 0:  // mobile data
      return 0;
    case 1:  // Wi-Fi
      return 1;
    default:  // no network, or a value the event has no number for
      return 8;
  }
}

uint32_t SessionStartEvent::networkSubtype(const std::string& radioAccessTechnology) {
  static const std::map<std::string, uint32_t> kSubtypes = {
      {"CTRadioAccessTechnologyGPRS", 1},          {"CTRadioAccessTechnologyEdge", 2},
      {"CTRadioAccessTechnologyWCDMA", 4},         {"CTRadioAccessTechnologyCDMA1x", 4},
      {"CTRadioAccessTechnologyCDMAEVDORev0", 5},  {"CTRadioAccessTechnologyCDMAEVDORevA", 6},
      {"CTRadioAccessTechnologyHSDPA", 8},         {"CTRadioAccessTechnologyHSUPA", 9},
      {"CTRadioAccessTechnologyCDMAEVDORevB", 12}, {"CTRadioAccessTechnologyLTE", 13},
      {"CTRadioAccessTechnologyeHRPD", 14},
  };
  if (radioAccessTechnology == "CTRadioAccessTechnologyNRNSA" || radioAccessTechnology == "CTRadioAccessTechnologyNR") {
    // The 5G names exist only from system 14.1 on.
    return ns::ProcessInfo::processInfo().isOperatingSystemAtLeastVersion({14, 1, 0}) ? 20 : 0;
  }
  auto subtype = kSubtypes.find(radioAccessTechnology);
  return subtype == kSubtypes.end() ? 0 : subtype->second;
}
