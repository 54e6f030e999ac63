#include "Libraries/TelemetryCore/VEDEvevuduzazado.h"

#include "Libraries/TelemetryCore/ZOVLogger.h"

VEDEvevuduzazado::VEDEvevuduzazado() : analyticsConfiguration_(VOZIzizuzoveConfiguration::sharedInstance()) {}

const std::shared_ptr<VEDEvevuduzazado>& VEDEvevuduzazado::sharedInstance() {
  static const auto* instance = new std::shared_ptr<VEDEvevuduzazado>(std::make_shared<VEDEvevuduzazado>());
  return *instance;
}

void VEDEvevuduzazado::setLoggerLevel(long level) { ZOVLoggerApplyLevel(level); }
