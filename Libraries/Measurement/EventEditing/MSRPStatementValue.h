// A statement: unevaluated code naming a command (a command code such as
// "22", or the name of a function) with its argument values, which are
// literals or further statements. Evaluating one is MSRPEvaluator's work;
// as a value it has no string, number or boolean (errors 5, 4, 3).
#pragma once

#include <string>

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPStatementValue final : public MSRPRuntimeValue {
 public:
  MSRPStatementValue(std::u16string functionName, MSRPValueList arguments)
      : functionName_(std::move(functionName)), arguments_(std::move(arguments)) {}
  ~MSRPStatementValue() override { MSRPReleaseValuesLater(arguments_); }

  const std::u16string& functionName() const { return functionName_; }
  const MSRPValueList& arguments() const { return arguments_; }

  // Another statement of the same name whose arguments are pairwise equal.
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

 private:
  std::u16string functionName_;
  MSRPValueList arguments_;
};
