#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"

#include "Libraries/Measurement/EventEditing/MSRPCommandRegistrar.h"
#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

MSRPValueRef MSRPEvaluator::evaluateStatement(const MSRPValueRef& value, const std::shared_ptr<MSRPScope>& scope,
                                              ns::Error& error) {
  return MSRPCommandRegistrar::sharedInstance().evaluateStatement(value, scope, error);
}

MSRPValueRef MSRPEvaluator::executeStatements(const MSRPValueList& statements, const std::shared_ptr<MSRPScope>& scope,
                                              ns::Error& error) {
  MSRPValueRef result = MSRPUndefinedValue::sharedInstance();
  for (const MSRPValueRef& statement : statements) {
    result = evaluateStatement(statement, scope, error);
    if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
    if (MSRPValueIs<MSRPControlValue>(*result)) return result;
  }
  return result;
}

MSRPValueList MSRPEvaluateArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                    ns::Error& error) {
  MSRPValueList values;
  values.reserve(arguments.size());
  for (const MSRPValueRef& argument : arguments) {
    values.push_back(MSRPEvaluator::evaluateStatement(argument, scope, error));
    if (MSRPHasError(error)) break;
  }
  return values;
}
