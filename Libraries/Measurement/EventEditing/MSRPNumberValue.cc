#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"

#include <cmath>

#include "Libraries/Measurement/EventEditing/MSRPNumberText.h"

std::u16string MSRPNumberValue::stringValueOrError(ns::Error&) const { return MSRPStringFromNumber(value_); }

double MSRPNumberValue::doubleValueOrError(ns::Error&) const { return value_; }

bool MSRPNumberValue::booleanValueOrError(ns::Error&) const { return value_ != 0 && !std::isnan(value_); }

bool MSRPNumberValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error&) const {
  const auto* number = dynamic_cast<const MSRPNumberValue*>(&other);
  if (number == nullptr) return false;
  return number->value_ == value_ || (std::isnan(number->value_) && std::isnan(value_));
}
