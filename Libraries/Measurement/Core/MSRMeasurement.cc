#include "Libraries/Measurement/Core/MSRMeasurement.h"

#include <mutex>

#include "Libraries/Measurement/Core/testing/MSRMeasurementTesting.h"

namespace {

struct RunningConfig {
  std::mutex mutex;
  std::shared_ptr<MSRRemoteConfig> remoteConfig;
};

RunningConfig& running() {
  static RunningConfig* instance = new RunningConfig();
  return *instance;
}

}  // namespace

std::shared_ptr<MSRMonitor> MSRMeasurement::monitor() {
  static const std::shared_ptr<MSRMonitor> instance = std::make_shared<MSRMonitor>();
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
