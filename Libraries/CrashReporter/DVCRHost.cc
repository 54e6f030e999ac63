#include "Libraries/CrashReporter/DVCRHost.h"

#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Platform/Foundation/ProcessInfo.h"

DVCRHostOSVersionNumbers DVCRHostOSVersion() {
  ns::OperatingSystemVersion version = ns::ProcessInfo::processInfo().operatingSystemVersion();
  return {version.majorVersion, version.minorVersion, version.patchVersion};
}

// As the device writes it ("16.0"), the same in the report's metadata, the
// settings request and the other libraries.
std::string DVCRHostOSDisplayVersion() { return ZULAppEnvironmentUtil::systemVersion(); }

std::optional<std::string> DVCRHostOSBuildVersion() { return std::nullopt; }

std::optional<std::string> DVCRHostDeviceModel() { return ZULAppEnvironmentUtil::deviceSimulatorModel(); }

std::optional<std::string> DVCRHostMachine() { return ZULAppEnvironmentUtil::deviceModel(); }
