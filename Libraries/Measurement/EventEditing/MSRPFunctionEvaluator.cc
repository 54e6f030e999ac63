#include "Libraries/Measurement/EventEditing/MSRPFunctionEvaluator.h"

#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPScope.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

MSRPValueRef MSRPFunctionEvaluator::evaluateCommand(const std::u16string& command, const MSRPValueList& arguments,
                                                    const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  auto function = MSRPValueAs<MSRPFunctionValue>(scope->valueForName(command));
  if (!function) return MSRPUndefinedValue::sharedInstance();
  return function->invokeWithArguments(arguments, scope, error);
}
