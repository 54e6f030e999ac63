#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"

#include <cmath>
#include <functional>
#include <mutex>
#include <sstream>
#include <stdexcept>

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

class NativeFunction final : public MSRPFunctionValue {
 public:
  NativeFunction(std::u16string name, std::function<MSRPValueRef(const MSRPValueList&)> body)
      : MSRPFunctionValue(std::move(name)), body_(std::move(body)) {}
  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const Scope&, ns::Error&) override {
    return body_(arguments);
  }

 private:
  std::function<MSRPValueRef(const MSRPValueList&)> body_;
};

MSRPValueRef count(const MSRPValueList&) { return number(double(++gEvaluations)); }

MSRPValueRef probe(const MSRPValueList&) {
  gProbe = Probe{reinterpret_cast<uintptr_t>(__builtin_frame_address(0)), MSRPNestingGuard::currentDepth()};
  return undefined();
}

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

void installTestFunctions(const std::shared_ptr<MSRPScope>& scope) {
  scope->addValue(nativeFunction(u"count", count), u"count");
  scope->addValue(nativeFunction(u"probe", probe), u"probe");
}

std::shared_ptr<MSRPFunctionValue> nativeFunction(std::u16string name,
                                                  std::function<MSRPValueRef(const MSRPValueList& arguments)> body) {
  return std::make_shared<NativeFunction>(std::move(name), std::move(body));
}

MSRPValueRef number(double value) { return std::make_shared<MSRPNumberValue>(value); }
MSRPValueRef string(const std::u16string& value) { return std::make_shared<MSRPStringValue>(value); }
MSRPValueRef boolean(bool value) { return MSRPBooleanValue::booleanValueWithBool(value); }
MSRPValueRef statement(const std::u16string& name, MSRPValueList arguments) {
  return std::make_shared<MSRPStatementValue>(name, std::move(arguments));
}

MSRPValueRef read(const std::u16string& name) { return statement(u"15", {string(name)}); }

MSRPValueRef assign(const std::u16string& name, MSRPValueRef value) {
  return statement(u"3", {string(name), std::move(value)});
}

MSRPValueRef declare(const std::u16string& name, MSRPValueRef value) {
  return statement(u"13", {statement(u"41", {string(name)}), assign(name, std::move(value))});
}

MSRPValueRef function(const std::u16string& name, const std::vector<std::u16string>& parameters, MSRPValueList body) {
  MSRPValueList names;
  for (const std::u16string& parameter : parameters) names.push_back(string(parameter));
  MSRPValueList arguments = {string(name), statement(u"7", std::move(names))};
  arguments.insert(arguments.end(), body.begin(), body.end());
  return statement(u"51", std::move(arguments));
}

MSRPValueRef failing(int64_t code) {
  MSRPValueRef breakStatement = statement(u"4");
  switch (code) {
    case MSRPErrorAssignmentToUndeclaredName:
      return assign(u"declared.nowhere", number(1));
    case MSRPErrorNoBooleanConversion:
      return statement(u"28", {breakStatement});
    case MSRPErrorNoNumberConversion:
      return statement(u"27", {breakStatement});
    case MSRPErrorNoStringConversion:
      return statement(u"0", {string(u"a"), breakStatement});
    case MSRPErrorArgumentCount:
      return statement(u"27");
    case MSRPErrorArgumentKind:
      return statement(u"15", {number(1)});
    case MSRPErrorNotIterable:
      return statement(u"64", {string(u"x"), number(1), statement(u"46")});
    default:
      throw std::invalid_argument("no failing statement for code " + std::to_string(code));
  }
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
