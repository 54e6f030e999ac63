#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"

#include "Libraries/Measurement/EventEditing/MSRPNumberText.h"

std::u16string MSRPStringValue::stringValueOrError(ns::Error&) const { return value_; }

double MSRPStringValue::doubleValueOrError(ns::Error&) const { return MSRPNumberFromString(value_); }

bool MSRPStringValue::booleanValueOrError(ns::Error&) const { return !value_.empty(); }

bool MSRPStringValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error&) const {
  if (this == &other) return true;
  const auto* string = dynamic_cast<const MSRPStringValue*>(&other);
  return string != nullptr && string->value_ == value_;
}
