// PLACEHOLDER until the session event lands.
#pragma once

#include <optional>
#include <string>

#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"

inline std::optional<std::string> ZOVSESSysctlString(const char* name) {
  return ZULAppEnvironmentUtil::getSysctlEntry(name);
}
