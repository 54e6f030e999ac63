// The one table from command code to command evaluator, and the central
// step of evaluation. Made once per process; the seven command evaluators
// register in its constructor (bitwise, comparison, control, logical,
// loop, math, variable), and nothing changes it after that but
// registerEvaluator, which is called before evaluations start.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "Libraries/Measurement/EventEditing/MSRPCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionEvaluator.h"

class MSRPCommandRegistrar {
 public:
  static MSRPCommandRegistrar& sharedInstance();

  // Maps each of the evaluator's codes to it; a code registered again goes
  // to the later evaluator.
  void registerEvaluator(const std::shared_ptr<MSRPCommandEvaluator>& evaluator);

  // Counts one instruction on the scope's run budget (error 18 at the
  // limit) and holds one nesting level (error 19 past the cap); an error
  // set by then, also one set before the call, gives undefined. A value
  // that is not a statement is its own result. A statement goes to the
  // evaluator of its name, or to the function evaluator when no code is
  // registered under it.
  MSRPValueRef evaluateStatement(const MSRPValueRef& value, const std::shared_ptr<MSRPScope>& scope, ns::Error& error);

 private:
  MSRPCommandRegistrar();

  std::unordered_map<std::u16string, std::shared_ptr<MSRPCommandEvaluator>> commandEvaluators_;
  std::shared_ptr<MSRPFunctionEvaluator> functionEvaluator_;
};
