#include "Libraries/CrashReporter/DVCRHost.h"

#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Platform/Foundation/ProcessInfo.h"

DVCRHostOSVersionNumbers DVCRHostOSVersion() {
  ns::OperatingSystemVersion version = ns::ProcessInfo::processInfo().operatingSystemVersion();
  return {version.majorVersion, version.minorVersion, version.patchVersion};
}

std::string DVCRHostOSDisplayVersion() {
  DVCRHostOSVersionNumbers version = DVCRHostOSVersion();
  return std::to_string(version.major) + "." + std::to_string(version.minor) + "." + std::to_string(version.patch);
}

std::optional<std::string> DVCRHostOSBuildVersion() { return std::nullopt; }

std::optional<std::string> DVCRHostDeviceModel() { return ZULAppEnvironmentUtil::deviceSimulatorModel(); }
