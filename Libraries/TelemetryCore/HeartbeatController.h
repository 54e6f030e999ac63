// HeartbeatController: records at most one heartbeat per day (GMT) in the
// shared storage of one app ID, and drains what is stored into a payload.
//
// `log` returns at once (the change runs on the storage's queue); `flush`
// and `flushHeartbeatFromToday` wait for the queue, so they must not be
// called from it. Store failures never reach the caller: a failed flush
// gives the empty payload.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Libraries/TelemetryCore/HeartbeatStorage.h"
#include "Libraries/TelemetryCore/HeartbeatsPayload.h"

namespace zovcore {

// The start of the day of `date` in an ISO 8601 calendar in GMT.
ns::Date standardizedDate(ns::Date date);

class HeartbeatController {
 public:
  static constexpr int64_t kHeartbeatsStorageCapacity = 30;

  // Over the shared storage of `id`; today is the standardized ns::Clock date.
  explicit HeartbeatController(const std::string& id);
  HeartbeatController(std::shared_ptr<HeartbeatStorageProtocol> storage, std::function<ns::Date()> dateProvider);

  // Adds a heartbeat of today for `agent` unless one was added today.
  void log(const std::string& agent);
  // Everything stored, leaving the buffer empty but remembering the last
  // days added (a day already recorded is not recorded again).
  HeartbeatsPayload flush();
  // Only today's heartbeat, taken out of the buffer.
  HeartbeatsPayload flushHeartbeatFromToday();

 private:
  std::shared_ptr<HeartbeatStorageProtocol> storage_;
  std::function<ns::Date()> dateProvider_;
};

}  // namespace zovcore
