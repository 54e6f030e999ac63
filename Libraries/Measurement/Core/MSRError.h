// Errors of the measurement library: one domain, a code, the description
// under ns::kLocalizedDescriptionKey and a short diagnostic context under
// "MSRMonitorContext", each only when not empty. Codes used by storage:
// 1 invalid argument, 2 unusable data or wrong state, 3 SQLite failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRMonitor.h"
#include "Platform/Foundation/Error.h"

inline constexpr const char* kMSRErrorDomain = "com.zorori.zmp.measurement.ErrorDomain";
inline constexpr const char* kMSRMonitorContextKey = "MSRMonitorContext";

ns::Error msr_errorWithCode(int64_t code, const std::string& description, const std::string& monitorContext);
ns::Error msr_errorWithCode(int64_t code, const std::string& description);

// The error out-parameter functions: each stores a measurement error in
// *error when `error` is not null.
void MSRSetError(ns::Error* error, int64_t code, const std::string& description);
void MSRSetErrorWithContext(ns::Error* error, int64_t code, const std::string& description,
                            const std::string& context);
// Answers `condition`; stores the error when it is false.
bool MSRCheckCondition(bool condition, ns::Error* error, int64_t code, const std::string& description);
// True for an object that is there (a non-null pointer, a filled optional,
// a non-empty function); else stores the error and answers false.
template <class T>
bool MSRCheckNotNil(const T& object, ns::Error* error, int64_t code, const std::string& description) {
  return MSRCheckCondition(static_cast<bool>(object), error, code, description);
}
inline bool MSRCheckNotNull(const void* pointer, ns::Error* error, int64_t code, const std::string& description) {
  return MSRCheckCondition(pointer != nullptr, error, code, description);
}
// True for a non-zero scalar (a count, a handle); else stores the error.
template <class T>
bool MSRCheckNonZero(T value, ns::Error* error, int64_t code, const std::string& description) {
  return MSRCheckCondition(value != T{}, error, code, description);
}

// The "MSRMonitorContext" texts of the contexts that are measurement errors
// carrying a non-empty one, joined by ","; "" when there are none.
std::string MSRMonitorContextFromErrors(const std::vector<MSRLogContext>& contexts);
