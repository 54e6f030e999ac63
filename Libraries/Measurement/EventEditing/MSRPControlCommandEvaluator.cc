#include "Libraries/Measurement/EventEditing/MSRPControlCommandEvaluator.h"

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPCommandSupport.h"
#include "Libraries/Measurement/EventEditing/MSRPScope.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

namespace {

using Scope = std::shared_ptr<MSRPScope>;
using msrp::evaluate;
using msrp::evaluateArray;
using msrp::undefined;

// An array's elements as a statement list; a copy, since the statements
// may change the array they run from.
MSRPValueRef runElements(const MSRPArrayValue& array, const Scope& scope, ns::Error& error) {
  return MSRPEvaluator::executeStatements(array.allElements(), scope, error);
}

MSRPValueRef methodCall(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 3, error)) return undefined();
  MSRPValueList values = MSRPEvaluateArguments(a, scope, error);
  if (MSRPHasError(error)) return undefined();
  const auto* name = dynamic_cast<const MSRPStringValue*>(values[1].get());
  const auto* arguments = dynamic_cast<const MSRPArrayValue*>(values[2].get());
  if (name == nullptr || arguments == nullptr) {
    MSRPSetError(error, MSRPErrorArgumentKind);
    return undefined();
  }
  MSRPValueRef result = values[0]->applyWithName(name->value(), arguments->allElements(), scope, error);
  return MSRPHasError(error) ? undefined() : result;
}

MSRPValueRef quote(const MSRPValueList& a, const Scope&, ns::Error& error) {
  std::shared_ptr<MSRPArrayValue> array = MSRPArrayValue::make(a, error);
  if (!array) return undefined();
  return array;
}

MSRPValueRef block(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  return MSRPEvaluator::executeStatements(a, scope->createChildScope(), error);
}

MSRPValueRef statementArray(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return undefined();
  std::shared_ptr<MSRPArrayValue> body = evaluateArray(a[0], scope, error);
  if (!body) return undefined();
  return runElements(*body, scope, error);
}

MSRPValueRef conditional(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckMinimumArgumentCount(a, 1, error) || !MSRPCheckMaximumArgumentCount(a, 3, error)) return undefined();
  bool truth = msrp::evaluateCondition(a[0], scope, error);
  if (MSRPHasError(error)) return undefined();
  size_t chosen = truth ? 1 : 2;
  if (chosen >= a.size()) return undefined();
  MSRPValueRef branch = evaluate(a[chosen], scope, error);
  if (MSRPHasError(error)) return undefined();
  if (auto array = MSRPValueAs<MSRPArrayValue>(branch)) return runElements(*array, scope, error);
  return branch;
}

MSRPValueRef choice(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 3, error)) return undefined();
  bool truth = msrp::evaluateCondition(a[0], scope, error);
  if (MSRPHasError(error)) return undefined();
  MSRPValueRef chosen = evaluate(a[truth ? 1 : 2], scope, error);
  return MSRPHasError(error) ? undefined() : chosen;
}

// A switch body's result: null to go on, else what the switch gives.
MSRPValueRef switchEnding(const MSRPValueRef& result, const ns::Error& error) {
  if (MSRPHasError(error)) return undefined();
  if (!MSRPValueIs<MSRPControlValue>(*result)) return nullptr;
  return result == MSRPControlValue::breakValue() ? undefined() : result;
}

MSRPValueRef switchCommand(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 3, error)) return undefined();
  MSRPValueList values = MSRPEvaluateArguments(a, scope, error);
  if (MSRPHasError(error)) return undefined();
  auto labelArray = MSRPValueAs<MSRPArrayValue>(values[1]);
  auto bodyArray = MSRPValueAs<MSRPArrayValue>(values[2]);
  if (!labelArray || !bodyArray) {
    MSRPSetError(error, MSRPErrorArgumentCount);
    return undefined();
  }
  // Copies: the labels and bodies may change the arrays.
  MSRPValueList labels = labelArray->allElements();
  MSRPValueList bodies = bodyArray->allElements();
  bool matched = false;
  for (size_t i = 0; i < labels.size(); ++i) {
    if (!matched) {
      MSRPValueRef label = evaluate(labels[i], scope, error);
      if (MSRPHasError(error)) return undefined();
      matched = MSRPStrictEquals(*label, *values[0], error);
      if (MSRPHasError(error)) return undefined();
      if (!matched) continue;
    }
    // A matching label without a body ends the switch.
    if (i >= bodies.size()) return undefined();
    if (MSRPValueRef ending = switchEnding(evaluate(bodies[i], scope, error), error)) return ending;
  }
  if (bodies.size() == labels.size() + 1) {
    if (MSRPValueRef ending = switchEnding(evaluate(bodies.back(), scope, error), error)) return ending;
  }
  return undefined();
}

MSRPValueRef breakCommand(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return MSRPCheckArgumentCount(a, 0, error) ? MSRPControlValue::breakValue() : undefined();
}

MSRPValueRef continueCommand(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return MSRPCheckArgumentCount(a, 0, error) ? MSRPControlValue::continueValue() : undefined();
}

MSRPValueRef returnCommand(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 1, error)) return undefined();
  MSRPValueRef data = undefined();
  if (!a.empty()) {
    data = evaluate(a[0], scope, error);
    if (MSRPHasError(error)) return undefined();
  }
  return MSRPControlValue::returnValueWithData(data);
}

MSRPValueRef sequence(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckMinimumArgumentCount(a, 1, error)) return undefined();
  MSRPValueRef last;
  for (const MSRPValueRef& statement : a) {
    last = evaluate(statement, scope, error);
    if (MSRPHasError(error)) return undefined();
    if (MSRPValueIs<MSRPControlValue>(*last)) {
      MSRPSetError(error, MSRPErrorArgumentKind);
      return undefined();
    }
  }
  return last;
}

std::shared_ptr<MSRPFunctionValue> makeFunction(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckMinimumArgumentCount(a, 2, error)) return nullptr;
  std::u16string name = a[0]->stringValueOrError(error);
  if (MSRPHasError(error)) return nullptr;
  std::shared_ptr<MSRPArrayValue> parameterArray = evaluateArray(a[1], scope, error);
  if (!parameterArray) return nullptr;
  std::vector<std::u16string> parameters;
  for (const MSRPValueRef& parameter : parameterArray->allElements()) {
    parameters.push_back(parameter->stringValueOrError(error));
    if (MSRPHasError(error)) return nullptr;
  }
  return std::make_shared<MSRPFunctionValue>(std::move(name), std::move(parameters),
                                             MSRPValueList(a.begin() + 2, a.end()), scope);
}

MSRPValueRef functionExpression(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  std::shared_ptr<MSRPFunctionValue> function = makeFunction(a, scope, error);
  if (!function) return undefined();
  return function;
}

MSRPValueRef functionDeclaration(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  std::shared_ptr<MSRPFunctionValue> function = makeFunction(a, scope, error);
  if (!function) return undefined();
  scope->setValue(function, function->functionName());
  return function;
}

}  // namespace

MSRPControlCommandEvaluator::MSRPControlCommandEvaluator()
    : MSRPTableCommandEvaluator(Style::Lazy, {{u"2", methodCall},
                                              {u"46", quote},
                                              {u"53", block},
                                              {u"5", statementArray},
                                              {u"9", statementArray},
                                              {u"22", conditional},
                                              {u"39", choice},
                                              {u"38", switchCommand},
                                              {u"4", breakCommand},
                                              {u"6", continueCommand},
                                              {u"36", returnCommand},
                                              {u"13", sequence},
                                              {u"51", functionExpression},
                                              {u"50", functionDeclaration}}) {}
