// What the command handlers share: the neutral result of a failed
// command, new numbers and shared booleans, and evaluating a condition or
// an argument that must give an array (a body, a parameter list).
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

namespace msrp {
inline const MSRPValueRef& undefined() { return MSRPUndefinedValue::sharedInstance(); }
inline MSRPValueRef number(double value) { return std::make_shared<MSRPNumberValue>(value); }
inline const MSRPValueRef& boolean(bool value) { return MSRPBooleanValue::booleanValueWithBool(value); }

inline MSRPValueRef evaluate(const MSRPValueRef& statement, const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  return MSRPEvaluator::evaluateStatement(statement, scope, error);
}

// The truth of the evaluated statement; NO after an error (also one of the
// boolean conversion).
inline bool evaluateCondition(const MSRPValueRef& statement, const std::shared_ptr<MSRPScope>& scope,
                              ns::Error& error) {
  MSRPValueRef value = evaluate(statement, scope, error);
  if (MSRPHasError(error)) return false;
  bool truth = value->booleanValueOrError(error);
  return truth && !MSRPHasError(error);
}

// The argument evaluated as an array value; error 10 and null otherwise.
inline std::shared_ptr<MSRPArrayValue> evaluateArray(const MSRPValueRef& statement,
                                                     const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  MSRPValueRef value = evaluate(statement, scope, error);
  if (MSRPHasError(error)) return nullptr;
  auto array = MSRPValueAs<MSRPArrayValue>(value);
  if (!array) MSRPSetError(error, MSRPErrorArgumentKind);
  return array;
}

// A method call through a table from name to handler: a name not in it is
// error 17; the arguments are evaluated left to right (stopping at the
// first error) before the handler gets them with the receiver and scope.
template <class Handlers, class Receiver>
MSRPValueRef callMethod(const Handlers& handlers, const std::u16string& name, Receiver& receiver,
                        const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  auto found = handlers.find(name);
  if (found == handlers.end()) {
    MSRPSetError(error, MSRPErrorNoSuchMethod);
    return undefined();
  }
  MSRPValueList values = MSRPEvaluateArguments(arguments, scope, error);
  if (MSRPHasError(error)) return undefined();
  return found->second(receiver, values, scope, error);
}
}  // namespace msrp
