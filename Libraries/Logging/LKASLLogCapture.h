// LKASLLogCapture: feeds messages that other code of the process sends to
// the older system-log service back into the logging core as records
// (file "LKASLLogCapture", context 0). Errors (levels up to 2) are logged
// synchronously, the rest asynchronously; messages the framework sent
// itself are not captured again.
#pragma once

#include <cstdint>
#include <vector>

#include "Platform/SystemLog/LegacyLogStore.h"

class LKASLLogCapture {
 public:
  static constexpr const char* kCaptureFileName = "LKASLLogCapture";

  // Captures messages sent from now on; stop() ends it at the next message.
  static void start();
  static void stop();
  // Flags to capture; all five by default.
  static uint64_t captureLevel();
  static void setCaptureLevel(uint64_t level);

  // Limits a query to levels up to 7 and to messages not sent by the framework.
  static void configureAslQuery(std::vector<systemlog::LegacyCondition>& query);
  static void aslMessageReceived(const systemlog::LegacyMessage& message);

 private:
  static void captureAslLogs();
};
