#include "Libraries/Measurement/EventEditing/MSRPCommandRegistrar.h"

#include "Libraries/Measurement/EventEditing/MSRPBitwiseCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPComparisonCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPControlCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPLogicalCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPLoopCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPMathCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPVariableCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPScope.h"
#include "Libraries/Measurement/EventEditing/MSRPStatementValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

MSRPCommandRegistrar& MSRPCommandRegistrar::sharedInstance() {
  static MSRPCommandRegistrar registrar;
  return registrar;
}

MSRPCommandRegistrar::MSRPCommandRegistrar() : functionEvaluator_(std::make_shared<MSRPFunctionEvaluator>()) {
  registerEvaluator(std::make_shared<MSRPBitwiseCommandEvaluator>());
  registerEvaluator(std::make_shared<MSRPComparisonCommandEvaluator>());
  registerEvaluator(std::make_shared<MSRPControlCommandEvaluator>());
  registerEvaluator(std::make_shared<MSRPLogicalCommandEvaluator>());
  registerEvaluator(std::make_shared<MSRPLoopCommandEvaluator>());
  registerEvaluator(std::make_shared<MSRPMathCommandEvaluator>());
  registerEvaluator(std::make_shared<MSRPVariableCommandEvaluator>());
}

void MSRPCommandRegistrar::registerEvaluator(const std::shared_ptr<MSRPCommandEvaluator>& evaluator) {
  for (const std::u16string& command : evaluator->allSupportedCommands()) commandEvaluators_[command] = evaluator;
}

MSRPValueRef MSRPCommandRegistrar::evaluateStatement(const MSRPValueRef& value, const std::shared_ptr<MSRPScope>& scope,
                                                     ns::Error& error) {
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return MSRPUndefinedValue::sharedInstance();
  scope->runBudget().countInstruction(error);
  if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
  auto statement = MSRPValueAs<MSRPStatementValue>(value);
  if (!statement) return value;
  // Whatever the command makes joins the heap of the chain it runs in.
  MSRPHeapActivation activation(&scope->heap());
  auto found = commandEvaluators_.find(statement->functionName());
  MSRPCommandEvaluator& evaluator =
      found != commandEvaluators_.end() ? *found->second : static_cast<MSRPCommandEvaluator&>(*functionEvaluator_);
  return evaluator.evaluateCommand(statement->functionName(), statement->arguments(), scope, error);
}
