// The device facts the crash reporter's requests name in their headers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct DVCRHostOSVersionNumbers {
  int64_t major = 0;
  int64_t minor = 0;
  int64_t patch = 0;
};

// The device's system version; unknown parts are 0.
DVCRHostOSVersionNumbers DVCRHostOSVersion();
// The system version as the device writes it ("16.0"), as the other
// libraries report it.
std::string DVCRHostOSDisplayVersion();
// The system's build string. The device reports none here, so it is absent
// and requests leave its header out.
std::optional<std::string> DVCRHostOSBuildVersion();
// The device's model identifier ("iPhone14,2").
std::optional<std::string> DVCRHostDeviceModel();
// The machine the system reports ("hw.machine": the same identifier); absent
// when the device has none.
std::optional<std::string> DVCRHostMachine();
