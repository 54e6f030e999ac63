#include "Libraries/TelemetryCore/ZOVCoreVersion.h"

const std::string& ZOVCoreVersionString() {
  static const std::string version = "10.16.0";
  return version;
}
