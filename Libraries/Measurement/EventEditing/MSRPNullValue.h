// The null value. One shared instance; "null", 0, NO. It has no methods:
// every call on it is error 7.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPNullValue final : public MSRPRuntimeValue {
 public:
  static const MSRPValueRef& sharedInstance();

  std::u16string stringValueOrError(ns::Error& error) const override;
  double doubleValueOrError(ns::Error& error) const override;
  bool booleanValueOrError(ns::Error& error) const override;
  MSRPValueRef applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                             const std::shared_ptr<MSRPScope>& scope, ns::Error& error) override;
  // YES for any null value.
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

 private:
  MSRPNullValue() = default;
};
