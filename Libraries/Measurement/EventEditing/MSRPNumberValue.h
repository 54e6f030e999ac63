// A number: a double. Its text is the shortest that reads back as the same
// double (MSRPNumberText.h); it is false for 0, -0 and NaN.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPNumberValue final : public MSRPRuntimeValue {
 public:
  explicit MSRPNumberValue(double value) : value_(value) {}

  double value() const { return value_; }
  std::u16string stringValueOrError(ns::Error& error) const override;
  double doubleValueOrError(ns::Error& error) const override;
  bool booleanValueOrError(ns::Error& error) const override;
  // Another number holding an equal double; two NaNs are equal here (but
  // not by MSRPStrictEquals).
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

 private:
  double value_;
};
