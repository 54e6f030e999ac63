// Evaluating statements and statement lists; the entry every command
// handler uses.
//
// A statement list runs in the given scope (no new one): after an error it
// stops and gives undefined; a control value (break, continue, return)
// stops it and is its result; otherwise the last statement's value, or
// undefined for an empty list. The list must stay alive during the call:
// to run the elements of a value a program can change, pass a copy.
#pragma once

#include <memory>

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPEvaluator {
 public:
  // MSRPCommandRegistrar::evaluateStatement of the shared registrar.
  static MSRPValueRef evaluateStatement(const MSRPValueRef& value, const std::shared_ptr<MSRPScope>& scope,
                                        ns::Error& error);
  static MSRPValueRef executeStatements(const MSRPValueList& statements, const std::shared_ptr<MSRPScope>& scope,
                                        ns::Error& error);
};

// Evaluates each argument in order into a new list, stopping after the
// first error (whose undefined result is still appended).
MSRPValueList MSRPEvaluateArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                    ns::Error& error);
