#include "Libraries/Measurement/EventEditing/MSRPEvent.h"

#include <cmath>
#include <limits>

#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"

MSRPEvent::MSRPEvent(std::string name, double timestamp, ns::Dictionary parameters)
    : name_(std::move(name)), timestamp_(timestamp), parameters_(std::move(parameters)) {}

void MSRPEvent::setParameter(const std::optional<ns::Value>& value, const std::string& name) {
  if (!value) {
    parameters_.remove(name);
    return;
  }
  parameters_.set(name, MSRPCoerceParameterValue(name, parameters_.find(name), *value));
}

bool MSRPEvent::isEqualToEvent(const MSRPEvent& other) const {
  if (this == &other) return true;
  if (std::fabs(timestamp_ - other.timestamp_) > std::numeric_limits<double>::epsilon()) return false;
  if (name_ != other.name_) return false;
  if (parameters_.size() != other.parameters_.size()) return false;
  for (const auto& [name, value] : parameters_) {
    const ns::Value* theirs = other.parameters_.find(name);
    if (theirs == nullptr || !(value == *theirs)) return false;
    if (value.isNumber() && value.isReal() != theirs->isReal()) return false;
  }
  return true;
}
