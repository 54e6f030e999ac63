#include "Libraries/TelemetryCore/VEDEvevuduzazado.h"

#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Platform/Runtime/Runtime.h"

namespace {

// Other libraries look the core's settings up by name alone (the
// measurement monitor leaves the logger's level to the core when it is
// there), so the class is known to the runtime from load on.
const bool registered = [] {
  rt::registerClass(std::make_shared<rt::Class>("VEDEvevuduzazado"));
  return true;
}();

}  // namespace

VEDEvevuduzazado::VEDEvevuduzazado() : analyticsConfiguration_(VOZIzizuzoveConfiguration::sharedInstance()) {}

const std::shared_ptr<VEDEvevuduzazado>& VEDEvevuduzazado::sharedInstance() {
  static const auto* instance = new std::shared_ptr<VEDEvevuduzazado>(std::make_shared<VEDEvevuduzazado>());
  return *instance;
}

void VEDEvevuduzazado::setLoggerLevel(long level) { ZOVLoggerApplyLevel(level); }
