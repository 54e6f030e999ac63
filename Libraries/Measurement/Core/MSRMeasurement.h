// The measurement engine's class-level entry points. Today the monitor, the
// remote configuration and the shared instance, which no engine makes yet
// (tests install one); the engine's own work adds the rest of the class.
#pragma once

#include <memory>

#include "Libraries/Measurement/Core/MSRIdentity.h"
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

  // Whether the engine's shared instance exists, and the instance (null
  // while none runs).
  static bool hasSharedInstance();
  static std::shared_ptr<MSRMeasurement> sharedInstance();

  // Whether measurement is enabled for this engine.
  bool isEnabled() const { return enabled_; }
  // The engine's identity; may be null.
  const std::shared_ptr<MSRIdentity>& identity() const { return identity_; }

 private:
  friend std::shared_ptr<MSRMeasurement> MSRMeasurementForTesting(bool enabled, std::shared_ptr<MSRIdentity> identity);

  bool enabled_ = false;
  std::shared_ptr<MSRIdentity> identity_;
};
