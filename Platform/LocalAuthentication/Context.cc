#include "Platform/LocalAuthentication/Context.h"

#include "Platform/Foundation/Device.h"
#include "Platform/LocalAuthentication/BiometricPrompt.h"
#include "Platform/LocalAuthentication/Error.h"

namespace la {

BiometryType Context::biometryType() const {
  switch (ns::Device::current().facts().biometry) {
    case ns::Biometry::TouchID:
      return BiometryType::TouchID;
    case ns::Biometry::FaceID:
      return BiometryType::FaceID;
    case ns::Biometry::None:
      break;
  }
  return BiometryType::None;
}

bool Context::canEvaluatePolicy(Policy, ns::Error* error) const {
  // Both policies need the sensor here: the device's own passcode is not
  // modelled.
  if (biometryType() != BiometryType::None) return true;
  ns::setError(error, ns::Error::withDescription(kErrorDomain, kErrorBiometryNotAvailable,
                                                 "Biometry is not available on this device."));
  return false;
}

void Context::evaluatePolicy(Policy policy, const std::string& localizedReason, Reply reply) const {
  if (!reply) return;
  ns::Error error;
  if (!canEvaluatePolicy(policy, &error)) {
    BiometricPrompt::replyOnSystemQueue([reply, error] { reply(false, error); });
    return;
  }
  BiometricPrompt::show(BiometricPrompt::Shown{biometryType(), localizedReason}, std::move(reply));
}

}  // namespace la
