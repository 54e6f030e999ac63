// VEDEvevuduzazado: the core's shared settings object: the analytics
// configuration handed to the measurement entry point, and the log level.
#pragma once

#include <memory>

#include "Libraries/TelemetryCore/VOZIzizuzoveConfiguration.h"

class VEDEvevuduzazado {
 public:
  // Made once.
  static const std::shared_ptr<VEDEvevuduzazado>& sharedInstance();

  // VOZIzizuzoveConfiguration::sharedInstance(), from creation on.
  const std::shared_ptr<VOZIzizuzoveConfiguration>& analyticsConfiguration() const { return analyticsConfiguration_; }
  // The core logger's level (3 error ... 7 debug).
  void setLoggerLevel(long level);

  VEDEvevuduzazado();

 private:
  std::shared_ptr<VOZIzizuzoveConfiguration> analyticsConfiguration_;
};
