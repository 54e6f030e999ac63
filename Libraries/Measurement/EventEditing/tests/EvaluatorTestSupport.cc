#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"

#include <cmath>
#include <mutex>
#include <sstream>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPCommandRegistrar.h"
#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Libraries/Measurement/EventEditing/MSRPScope.h"
#include "Libraries/Measurement/EventEditing/MSRPStatementValue.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"
#include "Platform/Foundation/StringUtf16.h"

namespace msrptest {
namespace {

using Scope = std::shared_ptr<MSRPScope>;

long gEvaluations = 0;
Probe gProbe;

const MSRPValueRef& undefined() { return MSRPUndefinedValue::sharedInstance(); }

std::u16string text(const MSRPValueRef& value, ns::Error& error) { return value->stringValueOrError(error); }

MSRPValueRef declare(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 2, error)) return undefined();
  scope->addValue(a[1], text(a[0], error));
  return a[1];
}

MSRPValueRef declareConstant(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 2, error)) return undefined();
  scope->addImmutableValue(a[1], text(a[0], error));
  return a[1];
}

MSRPValueRef assign(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 2, error)) return undefined();
  scope->setValue(a[1], text(a[0], error));
  return a[1];
}

MSRPValueRef read(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return undefined();
  return scope->valueForName(text(a[0], error));
}

MSRPValueRef add(const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 2, error)) return undefined();
  double sum = a[0]->doubleValueOrError(error);
  sum += a[1]->doubleValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  return number(sum);
}

MSRPValueRef fail(const MSRPValueList& a, const Scope&, ns::Error& error) {
  MSRPSetError(error, a.empty() ? 1 : static_cast<int64_t>(a[0]->doubleValueOrError(error)));
  return undefined();
}

MSRPValueRef makeMap(const MSRPValueList& a, const Scope&, ns::Error& error) {
  auto map = std::make_shared<MSRPMapValue>();
  for (size_t i = 0; i + 1 < a.size(); i += 2) map->setValue(a[i + 1], text(a[i], error));
  return map;
}

MSRPValueRef makeArray(const MSRPValueList& a, const Scope&, ns::Error&) {
  return std::make_shared<MSRPArrayValue>(a);
}

MSRPValueRef setProperty(const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 3, error)) return undefined();
  std::u16string key = text(a[1], error);
  if (auto map = MSRPValueAs<MSRPMapValue>(a[0])) map->setValue(a[2], key);
  if (auto function = MSRPValueAs<MSRPFunctionValue>(a[0])) function->setValue(a[2], key);
  return a[2];
}

MSRPValueRef apply(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckMinimumArgumentCount(a, 2, error)) return undefined();
  MSRPValueList arguments(a.begin() + 2, a.end());
  return a[0]->applyWithName(text(a[1], error), arguments, scope, error);
}

MSRPValueRef invoke(const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMinimumArgumentCount(a, 1, error)) return undefined();
  auto function = MSRPValueAs<MSRPFunctionValue>(a[0]);
  if (!function) {
    MSRPSetError(error, MSRPErrorArgumentKind);
    return undefined();
  }
  return function->invokeWithEvaluatedArguments(MSRPValueList(a.begin() + 1, a.end()), error);
}

MSRPValueRef makeReturn(const MSRPValueList& a, const Scope&, ns::Error&) {
  return MSRPControlValue::returnValueWithData(a.empty() ? undefined() : a[0]);
}
MSRPValueRef makeBreak(const MSRPValueList&, const Scope&, ns::Error&) { return MSRPControlValue::breakValue(); }
MSRPValueRef makeContinue(const MSRPValueList&, const Scope&, ns::Error&) {
  return MSRPControlValue::continueValue();
}

MSRPValueRef count(const MSRPValueList&, const Scope&, ns::Error&) { return number(double(++gEvaluations)); }

MSRPValueRef probe(const MSRPValueList&, const Scope&, ns::Error&) {
  gProbe = Probe{reinterpret_cast<uintptr_t>(__builtin_frame_address(0)), MSRPNestingGuard::currentDepth()};
  return undefined();
}

MSRPValueRef makeFunction(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckMinimumArgumentCount(a, 2, error)) return undefined();
  std::u16string name = text(a[0], error);
  std::u16string list = text(a[1], error);
  if (MSRPHasError(error)) return undefined();
  std::vector<std::u16string> parameters;
  for (size_t start = 0; !list.empty() && start <= list.size();) {
    size_t comma = list.find(u',', start);
    if (comma == std::u16string::npos) comma = list.size();
    parameters.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return std::make_shared<MSRPFunctionValue>(name, parameters, MSRPValueList(a.begin() + 2, a.end()), scope);
}

MSRPValueRef list(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  return MSRPEvaluator::executeStatements(a, scope, error);
}

MSRPValueRef block(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  return MSRPEvaluator::executeStatements(a, scope->createChildScope(), error);
}

// Each round first evaluates its condition, the literal true, as a real
// loop does: so even an empty body counts.
MSRPValueRef forever(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  const MSRPValueRef condition = boolean(true);
  while (!MSRPHasError(error)) {
    MSRPEvaluator::evaluateStatement(condition, scope, error);
    if (!MSRPHasError(error)) MSRPEvaluator::executeStatements(a, scope, error);
  }
  return undefined();
}

class EagerCommands final : public MSRPTableCommandEvaluator {
 public:
  EagerCommands()
      : MSRPTableCommandEvaluator(Style::Eager, {{u"test.declare", declare},
                                                 {u"test.const", declareConstant},
                                                 {u"test.assign", assign},
                                                 {u"test.read", read},
                                                 {u"test.add", add},
                                                 {u"test.fail", fail},
                                                 {u"test.map", makeMap},
                                                 {u"test.array", makeArray},
                                                 {u"test.set", setProperty},
                                                 {u"test.apply", apply},
                                                 {u"test.invoke", invoke},
                                                 {u"test.return", makeReturn},
                                                 {u"test.break", makeBreak},
                                                 {u"test.continue", makeContinue},
                                                 {u"test.count", count},
                                                 {u"test.probe", probe}}) {}
};

class LazyCommands final : public MSRPTableCommandEvaluator {
 public:
  LazyCommands()
      : MSRPTableCommandEvaluator(Style::Lazy, {{u"test.function", makeFunction},
                                                {u"test.list", list},
                                                {u"test.block", block},
                                                {u"test.forever", forever}}) {}
};

void describeInto(std::ostringstream& out, const MSRPRuntimeValue& value, int depth) {
  ns::Error error;
  if (depth > 8) {
    out << "...";
  } else if (MSRPValueIs<MSRPUndefinedValue>(value)) {
    out << "undefined";
  } else if (MSRPValueIs<MSRPNullValue>(value)) {
    out << "null";
  } else if (MSRPValueIs<MSRPBooleanValue>(value) || MSRPValueIs<MSRPNumberValue>(value)) {
    out << ns::toUtf8(value.stringValueOrError(error));
  } else if (const auto* string = dynamic_cast<const MSRPStringValue*>(&value)) {
    out << '\'';
    for (char c : ns::toUtf8(string->value())) out << (c == '\'' || c == '\\' ? "\\" : "") << c;
    out << '\'';
  } else if (const auto* array = dynamic_cast<const MSRPArrayValue*>(&value)) {
    out << '[';
    MSRPValueList elements = array->allElements();
    for (size_t i = 0; i < elements.size(); ++i) {
      if (i > 0) out << ',';
      describeInto(out, *elements[i], depth + 1);
    }
    out << ']';
  } else if (const auto* map = dynamic_cast<const MSRPMapValue*>(&value)) {
    out << '{';
    bool first = true;
    for (const std::u16string& name : map->allPropertyNames()) {
      out << (first ? "" : ",") << '\'' << ns::toUtf8(name) << "':";
      describeInto(out, *map->valueForProperty(name), depth + 1);
      first = false;
    }
    out << '}';
  } else if (const auto* function = dynamic_cast<const MSRPFunctionValue*>(&value)) {
    out << "function " << ns::toUtf8(function->functionName());
  } else if (const auto* statement = dynamic_cast<const MSRPStatementValue*>(&value)) {
    out << "statement " << ns::toUtf8(statement->functionName()) << '(';
    for (size_t i = 0; i < statement->arguments().size(); ++i) {
      if (i > 0) out << ',';
      describeInto(out, *statement->arguments()[i], depth + 1);
    }
    out << ')';
  } else if (const auto* control = dynamic_cast<const MSRPControlValue*>(&value)) {
    out << ns::toUtf8(control->type());
    if (control->isReturn()) {
      out << ' ';
      describeInto(out, *control->data(), depth + 1);
    }
  } else {
    out << "(value)";
  }
}

}  // namespace

void registerTestCommands() {
  static std::once_flag once;
  std::call_once(once, [] {
    MSRPCommandRegistrar::sharedInstance().registerEvaluator(std::make_shared<EagerCommands>());
    MSRPCommandRegistrar::sharedInstance().registerEvaluator(std::make_shared<LazyCommands>());
  });
}

MSRPValueRef number(double value) { return std::make_shared<MSRPNumberValue>(value); }
MSRPValueRef string(const std::u16string& value) { return std::make_shared<MSRPStringValue>(value); }
MSRPValueRef boolean(bool value) { return MSRPBooleanValue::booleanValueWithBool(value); }
MSRPValueRef statement(const std::u16string& name, MSRPValueList arguments) {
  return std::make_shared<MSRPStatementValue>(name, std::move(arguments));
}

std::string describe(const MSRPRuntimeValue& value) {
  std::ostringstream out;
  describeInto(out, value, 0);
  return out.str();
}

std::string describe(const MSRPValueRef& value) { return value ? describe(*value) : "(null)"; }

int64_t errorCode(const ns::Error& error) {
  if (!MSRPHasError(error)) return 0;
  return error.domain() == kMSRPErrorDomain ? error.code() : -1;
}

long evaluationCount() { return gEvaluations; }
void resetEvaluationCount() { gEvaluations = 0; }
Probe lastProbe() { return gProbe; }

std::shared_ptr<MSRPBRuntimeEntity> entityOf(const MSRPValueRef& value) {
  auto entity = MSRPBRuntimeEntity::initWithBuffer(std::nullopt);
  MSRPBRuntimeEntity* e = entity.get();
  ns::Error error;
  if (auto text = MSRPValueAs<MSRPStringValue>(value)) {
    MSRPBMessageSetInt32(e, MSRPRuntimeEntityKind, MSRPRuntimeEntityKindString);
    MSRPBMessageSetString(e, MSRPRuntimeEntityString, ns::toUtf8(text->value()));
  } else if (MSRPValueIs<MSRPNumberValue>(*value)) {
    MSRPBMessageSetInt32(e, MSRPRuntimeEntityKind, MSRPRuntimeEntityKindNumber);
    MSRPBMessageSetDouble(e, MSRPRuntimeEntityNumber, value->doubleValueOrError(error));
  } else if (MSRPValueIs<MSRPBooleanValue>(*value)) {
    MSRPBMessageSetInt32(e, MSRPRuntimeEntityKind, MSRPRuntimeEntityKindBoolean);
    MSRPBMessageSetBool(e, MSRPRuntimeEntityBoolean, value->booleanValueOrError(error));
  } else if (auto call = MSRPValueAs<MSRPStatementValue>(value)) {
    MSRPBMessageSetInt32(e, MSRPRuntimeEntityKind, MSRPRuntimeEntityKindStatement);
    MSRPBMessageSetString(e, MSRPRuntimeEntityCommandName, ns::toUtf8(call->functionName()));
    MSRPBMessageSetArray(e, MSRPRuntimeEntityArguments, entitiesOf(call->arguments()));
  }
  return entity;
}

MSRPBArray entitiesOf(const MSRPValueList& values) {
  MSRPBArray entities;
  for (const MSRPValueRef& value : values) entities.emplace_back(entityOf(value));
  return entities;
}

}  // namespace msrptest
