#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"

const MSRPValueRef& MSRPBooleanValue::booleanValueWithBool(bool value) {
  static const MSRPValueRef trueValue = std::make_shared<MSRPBooleanValue>(true);
  static const MSRPValueRef falseValue = std::make_shared<MSRPBooleanValue>(false);
  return value ? trueValue : falseValue;
}

std::u16string MSRPBooleanValue::stringValueOrError(ns::Error&) const { return value_ ? u"true" : u"false"; }

double MSRPBooleanValue::doubleValueOrError(ns::Error&) const { return value_ ? 1 : 0; }

bool MSRPBooleanValue::booleanValueOrError(ns::Error&) const { return value_; }

bool MSRPBooleanValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error&) const {
  const auto* boolean = dynamic_cast<const MSRPBooleanValue*>(&other);
  return boolean != nullptr && boolean->value_ == value_;
}
