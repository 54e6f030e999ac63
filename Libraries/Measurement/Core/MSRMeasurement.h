// The measurement engine's class-level entry points. Today only the
// monitor; the engine's own work adds the rest of the class.
#pragma once

#include <memory>

#include "Libraries/Measurement/Core/MSRMonitor.h"

class MSRMeasurement {
 public:
  // The process's one monitor, made at the first call; never null.
  static std::shared_ptr<MSRMonitor> monitor();
};
