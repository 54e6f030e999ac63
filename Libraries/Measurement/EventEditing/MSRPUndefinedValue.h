// The undefined value: what a missing name, a missing argument or a failed
// step gives. One shared instance; "undefined", NaN, NO. It has no methods:
// every call on it is error 7.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPUndefinedValue final : public MSRPRuntimeValue {
 public:
  static const MSRPValueRef& sharedInstance();

  std::u16string stringValueOrError(ns::Error& error) const override;
  double doubleValueOrError(ns::Error& error) const override;
  bool booleanValueOrError(ns::Error& error) const override;
  MSRPValueRef applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                             const std::shared_ptr<MSRPScope>& scope, ns::Error& error) override;
  // YES for any undefined value.
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

 private:
  MSRPUndefinedValue() = default;
};

// The value, or the undefined value for null.
inline MSRPValueRef MSRPValueOrUndefined(MSRPValueRef value) {
  return value ? std::move(value) : MSRPUndefinedValue::sharedInstance();
}
