// A string: UTF-16 text, as the platform counts lengths and positions. Its
// number is the text read as a decimal number (MSRPNumberText.h); it is
// true when not empty. Strings never change.
#pragma once

#include <string>

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPStringValue final : public MSRPRuntimeValue {
 public:
  explicit MSRPStringValue(std::u16string value) : value_(std::move(value)) {}

  const std::u16string& value() const { return value_; }
  std::u16string stringValueOrError(ns::Error& error) const override;
  double doubleValueOrError(ns::Error& error) const override;
  bool booleanValueOrError(ns::Error& error) const override;
  // Every method goes to the string methods' table
  // (MSRPStringCommandEvaluator.h); strings have no named properties.
  MSRPValueRef applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                             const std::shared_ptr<MSRPScope>& scope, ns::Error& error) override;
  // Another string of the same text.
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

 private:
  std::u16string value_;
};
