#include "Libraries/Measurement/EventEditing/MSRPPropertyMethods.h"

#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

MSRPValueRef MSRPApplyPropertyMethod(MSRPRuntimeValue& receiver, const MSRPPropertyMap& properties,
                                     const std::u16string& name, const MSRPValueList& arguments,
                                     const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  if (const MSRPValueRef* property = properties.find(name)) {
    auto function = MSRPValueAs<MSRPFunctionValue>(*property);
    if (!function) {
      MSRPSetError(error, MSRPErrorNoSuchMethod);
      return MSRPUndefinedValue::sharedInstance();
    }
    return function->invokeWithArguments(arguments, scope, error);
  }
  if (name == u"hasOwnProperty") {
    MSRPValueList evaluated = MSRPEvaluateArguments(arguments, scope, error);
    if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
    if (evaluated.size() != 1) {
      MSRPSetError(error, MSRPErrorArgumentCount);
      return MSRPUndefinedValue::sharedInstance();
    }
    std::u16string key = arguments.front()->stringValueOrError(error);
    if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
    return MSRPBooleanValue::booleanValueWithBool(properties.hasName(key));
  }
  return receiver.MSRPRuntimeValue::applyWithName(name, arguments, scope, error);
}
