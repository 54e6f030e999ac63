// The heartbeat layer as the rest of the core uses it (HeartbeatController.h
// says what the operations do). Neither class has a plain constructor.
#pragma once

#include <optional>
#include <string>

#include "Libraries/TelemetryCore/HeartbeatController.h"
#include "Libraries/TelemetryCore/HeartbeatsPayload.h"

class ZOVHeartbeatsPayload {
 public:
  ZOVHeartbeatsPayload() = delete;
  explicit ZOVHeartbeatsPayload(zovcore::HeartbeatsPayload payload) : payload_(std::move(payload)) {}

  std::string headerValue() const { return payload_.headerValue(); }
  bool isEmpty() const { return payload_.isEmpty(); }
  const zovcore::HeartbeatsPayload& payload() const { return payload_; }

 private:
  zovcore::HeartbeatsPayload payload_;
};

// Nothing for an empty payload, else its header value: what the
// installations service puts into its "X-dozaveve-client" header.
std::optional<std::string> ZOVHeartbeatHeaderValueForPayload(const ZOVHeartbeatsPayload& payload);

class ZOVHeartbeatController {
 public:
  ZOVHeartbeatController() = delete;
  // Over the shared storage of the app ID `id`.
  explicit ZOVHeartbeatController(const std::string& id) : controller_(id) {}

  void log(const std::string& agent) { controller_.log(agent); }
  ZOVHeartbeatsPayload flush() { return ZOVHeartbeatsPayload(controller_.flush()); }
  ZOVHeartbeatsPayload flushHeartbeatFromToday() {
    return ZOVHeartbeatsPayload(controller_.flushHeartbeatFromToday());
  }

 private:
  zovcore::HeartbeatController controller_;
};
