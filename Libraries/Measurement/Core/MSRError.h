// Errors of the measurement library: one domain, a code, the description
// under ns::kLocalizedDescriptionKey and a short diagnostic context under
// "MSRMonitorContext", each only when not empty. Codes used by storage:
// 1 invalid argument, 2 unusable data or wrong state, 3 SQLite failure.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/Foundation/Error.h"

inline constexpr const char* kMSRErrorDomain = "com.zorori.zmp.measurement.ErrorDomain";
inline constexpr const char* kMSRMonitorContextKey = "MSRMonitorContext";

ns::Error msr_errorWithCode(int64_t code, const std::string& description, const std::string& monitorContext);
ns::Error msr_errorWithCode(int64_t code, const std::string& description);
