#include "Libraries/Measurement/Core/MSRMeasurement.h"

#include "Libraries/WireMessages/MSRPBTextOutput.h"

namespace {

// The wire messages cannot reach the monitor (the measurement library
// links them, not the other way), so the monitor hands them a sink.
void takeWireMessagesLog(const std::shared_ptr<MSRMonitor>& monitor) {
  MSRPBSetMeasurementLogSink([monitor](const MSRPBMeasurementLogMessage& message) {
    if (message.context) {
      monitor->logWithLevel(message.level, message.code, message.text, *message.context);
    } else {
      monitor->logWithLevel(message.level, message.code, message.text);
    }
  });
}

}  // namespace

std::shared_ptr<MSRMonitor> MSRMeasurement::monitor() {
  static const std::shared_ptr<MSRMonitor> instance = [] {
    auto monitor = std::make_shared<MSRMonitor>();
    takeWireMessagesLog(monitor);
    return monitor;
  }();
  return instance;
}
