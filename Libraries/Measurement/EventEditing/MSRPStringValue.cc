#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"

#include "Libraries/Measurement/EventEditing/MSRPNumberText.h"
#include "Libraries/Measurement/EventEditing/MSRPStringCommandEvaluator.h"

std::u16string MSRPStringValue::stringValueOrError(ns::Error&) const { return value_; }

double MSRPStringValue::doubleValueOrError(ns::Error&) const { return MSRPNumberFromString(value_); }

bool MSRPStringValue::booleanValueOrError(ns::Error&) const { return !value_.empty(); }

bool MSRPStringValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error&) const {
  if (this == &other) return true;
  const auto* string = dynamic_cast<const MSRPStringValue*>(&other);
  return string != nullptr && string->value_ == value_;
}

MSRPValueRef MSRPStringValue::applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                                            const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  auto self = std::static_pointer_cast<MSRPStringValue>(shared_from_this());
  return MSRPStringCommandEvaluator::sharedInstance().evaluateCommand(name, self, arguments, scope, error);
}
