#include "Libraries/EventTransport/Sessions/LocalOverrideSettings.h"

#include "Platform/Foundation/Bundle.h"

namespace {

const ns::Value* infoValue(const char* key) {
  auto bundle = ns::Bundle::mainBundle();
  return bundle ? bundle->objectForInfoDictionaryKey(key) : nullptr;
}

// Integers and reals; a Boolean is not a rate or a duration.
std::optional<double> infoNumber(const char* key) {
  const ns::Value* value = infoValue(key);
  if (!value || !(value->isInteger() || value->isReal())) return std::nullopt;
  return value->doubleValue();
}

}  // namespace

std::optional<bool> LocalOverrideSettings::sessionsEnabled() const {
  const ns::Value* value = infoValue(kLocalOverrideSessionsEnabledKey);
  if (!value || !value->isBool()) return std::nullopt;
  return value->boolValue();
}

std::optional<double> LocalOverrideSettings::samplingRate() const { return infoNumber(kLocalOverrideSamplingRateKey); }

std::optional<double> LocalOverrideSettings::sessionTimeout() const {
  return infoNumber(kLocalOverrideSessionTimeoutKey);
}
