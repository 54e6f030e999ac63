// The measurement engine's class-level entry points. Today only the
// monitor; the engine's own work adds the rest of the class.
#pragma once

#include <memory>

#include "Libraries/Measurement/Core/MSRMonitor.h"

class MSRMeasurement {
 public:
  // The process's one monitor, made at the first call; never null. Once
  // made it also takes the wire messages' measurement log messages (the
  // flag routines', MSRPBTextOutput.h).
  static std::shared_ptr<MSRMonitor> monitor();
};
