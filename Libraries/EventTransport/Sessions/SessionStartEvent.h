// The session-start event: one nanopb SessionEvent (SessionEvent.proto),
// filled from the session, the application facts and the clock, completed
// by the start flow (data-collection states, network fields, sampling rate,
// installation ID) and encoded for the transport as its payload.
//
//   SessionStartEvent event(session, applicationInfo, Time());
//   event.setInstallationID(installationID);
//   ns::Data bytes = event.transportBytes();
//
// A fresh event has event type SESSION_START, the session's fields and
// time stamp, the app ID, the core version as the SDK version, the system
// version, the device model ("" without one), the log environment, the
// Apple application information (versions, OS name, an empty operator code,
// network type 8, mobile subtype 0), both subscribers at SDK_NOT_INSTALLED;
// no installation ID, no development platform and sampling rate 0.
//
// The event owns its byte arrays: a setter frees the array it replaces and
// the event frees all of them. Setters and encoding are serialised, so the
// transport may encode on its queue while nothing else touches the event.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "Libraries/EventTransport/Sessions/ApplicationInfo.h"
#include "Libraries/EventTransport/Sessions/SessionEventMessage.h"
#include "Libraries/EventTransport/Sessions/SessionInfo.h"
#include "Libraries/EventTransport/Sessions/Time.h"
#include "Libraries/EventTransport/ZTCOREventDataObject.h"

class SessionStartEvent : public ZTCOREventDataObject {
 public:
  SessionStartEvent(const SessionInfo& session, const ApplicationInfoProtocol& appInfo, const TimeProvider& time);
  SessionStartEvent(const SessionStartEvent&) = delete;
  SessionStartEvent& operator=(const SessionStartEvent&) = delete;

  void setInstallationID(const std::string& installationID);
  void setDodevadarudState(dozaveve_appvitals_sessions_DataCollectionState state);
  void setPerformanceState(dozaveve_appvitals_sessions_DataCollectionState state);
  void setSamplingRate(double rate);
  void setOperatorCode(const std::string& operatorCode);
  // From RIDIruduziDiri's network type (networkType below).
  void setNetworkType(int32_t reachabilityNetworkType);
  // From the radio access technology's name (networkSubtype below).
  void setMobileSubtype(const std::string& radioAccessTechnology);

  // The encoded message; empty data when encoding fails (both failure
  // lines are logged at error level).
  ns::Data transportBytes() const override { return encodeProto(); }
  ns::Data encodeProto() const;
  // A separate message decoded from the event's own bytes, for printing. A
  // decoding failure is logged and what was decoded so far is returned.
  SessionEventMessage decodedProto() const;

  // Encodes any nanopb message the way encodeProto does: the data, or empty
  // data after "Session Event failed to encode as proto with error: <error>"
  // and "Session Event generated nil transportBytes. Returning empty data.".
  static ns::Data encodeOrEmpty(const pb_msgdesc_t* fields, const void* message);

  // Lowercased "macos" 1, "maccatalyst" 2, "ios_on_mac" 3, "ios" 4,
  // "tvos" 5, "watchos" 6, "ipados" 7; anything else logs the warning
  // "Found unknown OSName: "<text as given>" while converting." and gives 0.
  static dozaveve_appvitals_sessions_OsName osNameFromString(const std::string& platform);
  // No network (-1) 8, mobile data (0) 0, Wi-Fi (1) 1, anything else 8.
  static uint32_t networkType(int32_t reachabilityNetworkType);
  // The radio access technology's mobile subtype; 0 for an empty or
  // unknown name.
  static uint32_t networkSubtype(const std::string& radioAccessTechnology);

 private:
  mutable std::mutex mutex_;
  SessionEventMessage proto_;
};
