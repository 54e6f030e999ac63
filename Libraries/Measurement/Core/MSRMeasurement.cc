#include "Libraries/Measurement/Core/MSRMeasurement.h"

#include <mutex>

#include "Libraries/Measurement/Core/testing/MSRMeasurementTesting.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"

namespace {

struct RunningConfig {
  std::mutex mutex;
  std::shared_ptr<MSRRemoteConfig> remoteConfig;
  std::shared_ptr<MSRMeasurement> sharedInstance;
};

RunningConfig& running() {
  static RunningConfig* instance = new RunningConfig();
  return *instance;
}

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
    // The library version MSRIdentity::dudUziroruvozaLibraryVersion gives:
    // "101600000" less its last three characters.
    auto monitor = MSRMonitor::initWithLibraryVersion(101600);
    takeWireMessagesLog(monitor);
    return monitor;
  }();
  return instance;
}

std::shared_ptr<MSRRemoteConfig> MSRMeasurement::remoteConfig() {
  {
    std::lock_guard lock(running().mutex);
    if (running().remoteConfig) return running().remoteConfig;
  }
  return MSRRemoteConfig::defaultInstance();
}

void MSRMeasurementSetRemoteConfigForTesting(std::shared_ptr<MSRRemoteConfig> remoteConfig) {
  std::lock_guard lock(running().mutex);
  running().remoteConfig = std::move(remoteConfig);
}

bool MSRMeasurement::hasSharedInstance() { return sharedInstance() != nullptr; }

std::shared_ptr<MSRMeasurement> MSRMeasurement::sharedInstance() {
  std::lock_guard lock(running().mutex);
  return running().sharedInstance;
}

std::shared_ptr<MSRMeasurement> MSRMeasurementForTesting(bool enabled, std::shared_ptr<MSRIdentity> identity) {
  auto measurement = std::make_shared<MSRMeasurement>();
  measurement->enabled_ = enabled;
  measurement->identity_ = std::move(identity);
  return measurement;
}

void MSRMeasurementSetSharedInstanceForTesting(std::shared_ptr<MSRMeasurement> measurement) {
  std::lock_guard lock(running().mutex);
  running().sharedInstance = std::move(measurement);
}
