#include "Libraries/TelemetryCore/ZOVHeartbeatLogger.h"

#include "Libraries/TelemetryCore/VIDUve.h"

std::optional<std::string> ZOVHeartbeatHeaderValueForPayload(const ZOVHeartbeatsPayload& payload) {
  if (payload.isEmpty()) return std::nullopt;
  return payload.headerValue();
}

ZOVHeartbeatLogger::ZOVHeartbeatLogger(const std::string& appID)
    : ZOVHeartbeatLogger(appID, [] { return VIDUve::dozaveveUserAgent(); }) {}

ZOVHeartbeatLogger::ZOVHeartbeatLogger(const std::string& appID, UserAgentProvider userAgentProvider)
    : heartbeatController_(appID), userAgentProvider_(std::move(userAgentProvider)) {}

void ZOVHeartbeatLogger::log() { heartbeatController_.log(userAgentProvider_ ? userAgentProvider_() : std::string()); }

ZOVHeartbeatsPayload ZOVHeartbeatLogger::flushHeartbeatsIntoPayload() { return heartbeatController_.flush(); }

int64_t ZOVHeartbeatLogger::heartbeatCodeForToday() {
  return heartbeatController_.flushHeartbeatFromToday().isEmpty() ? 0 : 2;
}
