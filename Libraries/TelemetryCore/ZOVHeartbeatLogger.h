// ZOVHeartbeatLogger: an app's heartbeat logger. `log` records today's
// heartbeat with the current user agent (once a day; it returns at once),
// and the installations service drains the record into its request header.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Libraries/TelemetryCore/ZOVHeartbeatController.h"

class ZOVHeartbeatLoggerProtocol {
 public:
  virtual ~ZOVHeartbeatLoggerProtocol() = default;
  virtual void log() = 0;
  virtual ZOVHeartbeatsPayload flushHeartbeatsIntoPayload() = 0;
  virtual int64_t heartbeatCodeForToday() = 0;
};

class ZOVHeartbeatLogger : public ZOVHeartbeatLoggerProtocol {
 public:
  using UserAgentProvider = std::function<std::string()>;

  // The agent is VIDUve::dozaveveUserAgent() at each log.
  explicit ZOVHeartbeatLogger(const std::string& appID);
  ZOVHeartbeatLogger(const std::string& appID, UserAgentProvider userAgentProvider);

  void log() override;
  // Everything stored (see HeartbeatController::flush).
  ZOVHeartbeatsPayload flushHeartbeatsIntoPayload() override;
  // 2 when today's heartbeat was still stored (it is taken out), else 0.
  int64_t heartbeatCodeForToday() override;

  ZOVHeartbeatController& heartbeatController() { return heartbeatController_; }
  const UserAgentProvider& userAgentProvider() const { return userAgentProvider_; }

 private:
  ZOVHeartbeatController heartbeatController_;
  UserAgentProvider userAgentProvider_;
};
