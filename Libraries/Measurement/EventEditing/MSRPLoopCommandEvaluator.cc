#include "Libraries/Measurement/EventEditing/MSRPLoopCommandEvaluator.h"

#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"
#include "Libraries/Measurement/EventEditing/MSRPCommandSupport.h"
#include "Libraries/Measurement/EventEditing/MSRPScope.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

using Scope = std::shared_ptr<MSRPScope>;
using msrp::evaluate;
using msrp::evaluateArray;
using msrp::evaluateCondition;
using msrp::undefined;

// One run of a loop's body (a copy of its elements, which the body may
// change): null to go on, else what the loop gives (undefined after an
// error or a break, a return as it is).
MSRPValueRef runBody(const MSRPArrayValue& body, const Scope& scope, ns::Error& error) {
  MSRPValueRef result = MSRPEvaluator::executeStatements(body.allElements(), scope, error);
  if (MSRPHasError(error) || result == MSRPControlValue::breakValue()) return undefined();
  auto control = MSRPValueAs<MSRPControlValue>(result);
  if (control && control->isReturn()) return result;
  return nullptr;
}

MSRPValueRef generalLoop(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 4, error)) return undefined();
  const MSRPValueRef& condition = a[0];
  const MSRPValueRef& step = a[1];
  MSRPValueRef runFirst = evaluate(a[2], scope, error);
  if (MSRPHasError(error)) return undefined();
  bool first = runFirst->booleanValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  std::shared_ptr<MSRPArrayValue> body = evaluateArray(a[3], scope, error);
  if (!body) return undefined();
  if (first) {
    if (MSRPValueRef ending = runBody(*body, scope, error)) return ending;
  }
  while (evaluateCondition(condition, scope, error)) {
    if (MSRPValueRef ending = runBody(*body, scope, error)) return ending;
    evaluate(step, scope, error);
    if (MSRPHasError(error)) break;
  }
  return undefined();
}

MSRPValueRef copyingLoop(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 4, error)) return undefined();
  std::shared_ptr<MSRPArrayValue> nameArray = evaluateArray(a[0], scope, error);
  if (!nameArray) return undefined();
  std::vector<std::u16string> names;
  for (const MSRPValueRef& name : nameArray->allElements()) {
    names.push_back(name->stringValueOrError(error));
    if (MSRPHasError(error)) return undefined();
  }
  std::shared_ptr<MSRPArrayValue> body = evaluateArray(a[3], scope, error);
  if (!body) return undefined();
  Scope iteration = scope->createChildScope();
  for (const std::u16string& name : names) iteration->addValue(scope->valueForName(name), name);
  while (evaluateCondition(a[1], iteration, error)) {
    if (MSRPValueRef ending = runBody(*body, iteration, error)) return ending;
    // Each iteration has its own variables, so a function made in the
    // body keeps the values of its iteration.
    Scope next = scope->createChildScope();
    for (const std::u16string& name : names) next->addValue(iteration->valueForName(name), name);
    evaluate(a[2], next, error);
    if (MSRPHasError(error)) break;
    iteration = std::move(next);
  }
  return undefined();
}

enum class Binding { Assign, Constant, Variable };

// The keys for for-in: a string's positions, an array's property names, a
// map's or function's names; nothing for any other value.
MSRPValueList keysOf(const MSRPValueRef& object) {
  MSRPValueList keys;
  auto names = [&](const std::vector<std::u16string>& list) {
    for (const std::u16string& name : list) keys.push_back(std::make_shared<MSRPStringValue>(name));
  };
  if (const auto* string = dynamic_cast<const MSRPStringValue*>(object.get())) {
    for (size_t i = 0; i < string->value().size(); ++i) {
      keys.push_back(std::make_shared<MSRPStringValue>(ns::toUtf16(std::to_string(i))));
    }
  } else if (const auto* array = dynamic_cast<const MSRPArrayValue*>(object.get())) {
    keys = array->allPropertyNames();
  } else if (const auto* map = dynamic_cast<const MSRPMapValue*>(object.get())) {
    names(map->allPropertyNames());
  } else if (const auto* function = dynamic_cast<const MSRPFunctionValue*>(object.get())) {
    names(function->allPropertyNames());
  }
  return keys;
}

// The items for for-of: a string's code units or an array's elements;
// error 16 for any other value.
std::optional<MSRPValueList> itemsOf(const MSRPValueRef& object, ns::Error& error) {
  if (const auto* string = dynamic_cast<const MSRPStringValue*>(object.get())) {
    MSRPValueList items;
    for (char16_t unit : string->value()) items.push_back(std::make_shared<MSRPStringValue>(std::u16string(1, unit)));
    return items;
  }
  if (const auto* array = dynamic_cast<const MSRPArrayValue*>(object.get())) return array->allElements();
  MSRPSetError(error, MSRPErrorNotIterable);
  return std::nullopt;
}

MSRPValueRef eachLoop(const MSRPValueList& a, const Scope& scope, ns::Error& error, bool items, Binding binding) {
  if (!MSRPCheckArgumentCount(a, 3, error)) return undefined();
  MSRPValueList values = MSRPEvaluateArguments(a, scope, error);
  if (MSRPHasError(error)) return undefined();
  std::u16string name = values[0]->stringValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  MSRPValueList sequence;
  if (items) {
    std::optional<MSRPValueList> found = itemsOf(values[1], error);
    if (!found) return undefined();
    sequence = std::move(*found);
  } else {
    sequence = keysOf(values[1]);
  }
  auto body = MSRPValueAs<MSRPArrayValue>(values[2]);
  if (!body) {
    MSRPSetError(error, MSRPErrorArgumentKind);
    return undefined();
  }
  for (const MSRPValueRef& entry : sequence) {
    Scope iteration = scope;
    if (binding == Binding::Assign) {
      scope->setValue(entry, name);
    } else {
      iteration = scope->createChildScope();
      if (binding == Binding::Constant) {
        iteration->addImmutableValue(entry, name);
      } else {
        iteration->addValue(entry, name);
      }
    }
    if (MSRPValueRef ending = runBody(*body, iteration, error)) return ending;
  }
  return undefined();
}

MSRPValueRef forInAssign(const MSRPValueList& a, const Scope& s, ns::Error& e) {
  return eachLoop(a, s, e, false, Binding::Assign);
}
MSRPValueRef forInConstant(const MSRPValueList& a, const Scope& s, ns::Error& e) {
  return eachLoop(a, s, e, false, Binding::Constant);
}
MSRPValueRef forInVariable(const MSRPValueList& a, const Scope& s, ns::Error& e) {
  return eachLoop(a, s, e, false, Binding::Variable);
}
MSRPValueRef forOfAssign(const MSRPValueList& a, const Scope& s, ns::Error& e) {
  return eachLoop(a, s, e, true, Binding::Assign);
}
MSRPValueRef forOfConstant(const MSRPValueList& a, const Scope& s, ns::Error& e) {
  return eachLoop(a, s, e, true, Binding::Constant);
}
MSRPValueRef forOfVariable(const MSRPValueList& a, const Scope& s, ns::Error& e) {
  return eachLoop(a, s, e, true, Binding::Variable);
}

}  // namespace

MSRPLoopCommandEvaluator::MSRPLoopCommandEvaluator()
    : MSRPTableCommandEvaluator(Style::Lazy, {{u"42", generalLoop},
                                              {u"63", copyingLoop},
                                              {u"47", forInAssign},
                                              {u"54", forInConstant},
                                              {u"55", forInVariable},
                                              {u"64", forOfAssign},
                                              {u"65", forOfConstant},
                                              {u"66", forOfVariable}}) {}
