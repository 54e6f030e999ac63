#include "Libraries/Measurement/Core/MSRMeasurement.h"

std::shared_ptr<MSRMonitor> MSRMeasurement::monitor() {
  static const std::shared_ptr<MSRMonitor> instance = std::make_shared<MSRMonitor>();
  return instance;
}
