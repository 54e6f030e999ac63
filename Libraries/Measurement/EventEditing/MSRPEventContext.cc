#include "Libraries/Measurement/EventEditing/MSRPEventContext.h"

#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"

void MSRPEventContext::setInputEvent(const MSRPEvent& event) {
  inputEvent_ = event;
  outputEvent_ = event;
  loggedEvents_.clear();
}

void MSRPEventContext::logEventWithName(const std::string& name, double timestamp, const ns::Dictionary& parameters) {
  ns::Dictionary coerced;
  for (const auto& [key, value] : parameters) {
    coerced.set(key, MSRPCoerceParameterValue(key, inputEvent_.parameterForName(key), value));
  }
  loggedEvents_.emplace_back(name, timestamp, std::move(coerced));
}
