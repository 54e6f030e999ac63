// A boolean: "true"/"false", 1/0, itself. Programs get the two shared
// instances of booleanValueWithBool; a value made with the constructor is
// equal to them but not identical.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPBooleanValue final : public MSRPRuntimeValue {
 public:
  static const MSRPValueRef& booleanValueWithBool(bool value);
  explicit MSRPBooleanValue(bool value) : value_(value) {}

  bool value() const { return value_; }
  std::u16string stringValueOrError(ns::Error& error) const override;
  double doubleValueOrError(ns::Error& error) const override;
  bool booleanValueOrError(ns::Error& error) const override;
  // Another boolean of the same value.
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

 private:
  bool value_;
};
