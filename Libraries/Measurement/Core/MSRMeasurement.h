// The measurement engine's class-level entry points. Today the monitor and
// the remote configuration; the engine's own work adds the rest of the
// class.
#pragma once

#include <memory>

#include "Libraries/Measurement/Core/MSRMonitor.h"
#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"

class MSRMeasurement {
 public:
  // The process's one monitor, made at the first call; never null. Once
  // made it also takes the wire messages' measurement log messages (the
  // flag routines', MSRPBTextOutput.h).
  static std::shared_ptr<MSRMonitor> monitor();
  // The running measurement's remote configuration; until a measurement
  // runs, MSRRemoteConfig::defaultInstance(). Never null.
  static std::shared_ptr<MSRRemoteConfig> remoteConfig();
};
