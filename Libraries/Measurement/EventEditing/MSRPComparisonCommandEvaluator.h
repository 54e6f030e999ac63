// The comparisons: loose ("12", "29") and strict ("20", "21") equality and
// the orderings ("23", "24", "18", "19"), each of exactly two arguments
// (error 9 before anything is evaluated), giving a shared boolean. Eager.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPCommandEvaluator.h"

class MSRPComparisonCommandEvaluator final : public MSRPTableCommandEvaluator {
 public:
  MSRPComparisonCommandEvaluator();
  MSRPValueRef evaluateCommand(const std::u16string& command, const MSRPValueList& arguments,
                               const std::shared_ptr<MSRPScope>& scope, ns::Error& error) override;
};
