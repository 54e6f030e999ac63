// The evaluator of every statement whose name is not a registered command
// code: the name is looked up in the scope, and a function found there is
// called with the statement's arguments unevaluated (the function
// evaluates them). Any other value, or no binding, gives undefined without
// an error and without evaluating the arguments.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPCommandEvaluator.h"

class MSRPFunctionEvaluator final : public MSRPCommandEvaluator {
 public:
  MSRPValueRef evaluateCommand(const std::u16string& command, const MSRPValueList& arguments,
                               const std::shared_ptr<MSRPScope>& scope, ns::Error& error) override;
};
