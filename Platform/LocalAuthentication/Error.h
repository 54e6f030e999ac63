// The errors of local authentication: one domain, the platform's codes.
#pragma once

#include <cstdint>

namespace la {

inline constexpr const char* kErrorDomain = "LAErrorDomain";

enum ErrorCode : int64_t {
  kErrorAuthenticationFailed = -1,  // the finger or face did not match
  kErrorUserCancel = -2,            // the person cancelled
  kErrorUserFallback = -3,          // the person chose to enter a passcode instead
  kErrorSystemCancel = -4,          // the system ended the prompt (another one came)
  kErrorPasscodeNotSet = -5,
  kErrorBiometryNotAvailable = -6,  // the device has no sensor
  kErrorBiometryNotEnrolled = -7,
  kErrorBiometryLockout = -8,       // too many failed attempts
  kErrorAppCancel = -9,
  kErrorInvalidContext = -10,
  kErrorNotInteractive = -1004,
};

}  // namespace la
