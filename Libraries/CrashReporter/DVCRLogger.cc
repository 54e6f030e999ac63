#include "Libraries/CrashReporter/DVCRLogger.h"

#include "Libraries/TelemetryCore/ZOVCoreVersion.h"

const std::string& DVCRSDKVersion() { return ZOVCoreVersionString(); }

const std::string& DVCRSDKGeneratorName() {
  static const std::string name = "Dodevadarud iOS SDK/" + DVCRSDKVersion();
  return name;
}
