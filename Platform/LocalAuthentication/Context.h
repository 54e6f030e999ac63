// One authentication context: whether the device can authenticate its owner
// by biometrics, which sensor it has, and an evaluation that asks the owner.
//
// The sensor is the device's fact (ns::DeviceFacts::biometry). An evaluation
// puts up the system's prompt (BiometricPrompt.h) and returns at once; the
// reply comes when the person answers it, on a queue of the system's, never
// on the main thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"

namespace la {

enum class Policy {
  DeviceOwnerAuthenticationWithBiometrics = 1,
  DeviceOwnerAuthentication = 2,
};

enum class BiometryType { None = 0, TouchID = 1, FaceID = 2 };

class Context {
 public:
  // Whether `policy` can be evaluated now; when not, `error` tells why
  // (kErrorBiometryNotAvailable on a device without a sensor).
  bool canEvaluatePolicy(Policy policy, ns::Error* error = nullptr) const;
  // The device's sensor.
  BiometryType biometryType() const;

  // success, or the error that ended the evaluation.
  using Reply = std::function<void(bool success, const std::optional<ns::Error>& error)>;
  // Asks the owner with `localizedReason` shown in the prompt. A policy that
  // cannot be evaluated replies at once (still on the system's queue) with
  // canEvaluatePolicy's error.
  void evaluatePolicy(Policy policy, const std::string& localizedReason, Reply reply) const;
};

}  // namespace la
