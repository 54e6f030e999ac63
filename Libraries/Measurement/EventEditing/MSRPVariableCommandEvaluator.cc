#include "Libraries/Measurement/EventEditing/MSRPVariableCommandEvaluator.h"

#include <cmath>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPCommandSupport.h"
#include "Libraries/Measurement/EventEditing/MSRPScope.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

namespace {

using Scope = std::shared_ptr<MSRPScope>;
using msrp::number;
using msrp::undefined;

// A name argument: a string value, else error 10 and null.
const std::u16string* nameOf(const MSRPValueRef& value, ns::Error& error) {
  if (const auto* string = dynamic_cast<const MSRPStringValue*>(value.get())) return &string->value();
  MSRPSetError(error, MSRPErrorArgumentKind);
  return nullptr;
}

// The property map of a map or a function, or null.
MSRPPropertyMap* propertiesOf(const MSRPValueRef& value) {
  if (auto* map = dynamic_cast<MSRPMapValue*>(value.get())) return &map->propertyMap();
  if (auto* function = dynamic_cast<MSRPFunctionValue*>(value.get())) return &function->propertyMap();
  return nullptr;
}

MSRPValueRef assign(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 2, error)) return undefined();
  const std::u16string* name = nameOf(a[0], error);
  if (name == nullptr) return undefined();
  if (!scope->hasName(*name)) {
    MSRPSetError(error, MSRPErrorAssignmentToUndeclaredName);
    return undefined();
  }
  scope->setValue(a[1], *name);
  return a[1];
}

MSRPValueRef declare(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  for (const MSRPValueRef& argument : a) {
    const std::u16string* name = nameOf(argument, error);
    if (name == nullptr) return undefined();
    scope->addValue(undefined(), *name);
  }
  return undefined();
}

MSRPValueRef declareConstants(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (a.size() % 2 != 0) {
    MSRPSetError(error, MSRPErrorArgumentCount);
    return undefined();
  }
  for (size_t i = 0; i < a.size(); i += 2) {
    const std::u16string* name = nameOf(a[i], error);
    if (name == nullptr) return undefined();
    scope->addImmutableValue(a[i + 1], *name);
  }
  return undefined();
}

MSRPValueRef read(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return undefined();
  const std::u16string* name = nameOf(a[0], error);
  if (name == nullptr) return undefined();
  return scope->valueForName(*name);
}

MSRPValueRef arrayLiteral(const MSRPValueList& a, const Scope&, ns::Error& error) {
  std::shared_ptr<MSRPArrayValue> array = MSRPArrayValue::make(a, error);
  if (!array) return undefined();
  return array;
}

MSRPValueRef objectLiteral(const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (a.size() % 2 != 0) {
    MSRPSetError(error, MSRPErrorArgumentCount);
    return undefined();
  }
  if (!MSRPAllowObjects(a.size() / 2, error)) return undefined();
  auto map = std::make_shared<MSRPMapValue>();
  for (size_t i = 0; i < a.size(); i += 2) {
    std::u16string key = a[i]->stringValueOrError(error);
    if (MSRPHasError(error)) return undefined();
    map->setValue(a[i + 1], key);
  }
  return map;
}

MSRPValueRef propertyRead(const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 2, error)) return undefined();
  const MSRPValueRef& object = a[0];
  const MSRPValueRef& key = a[1];
  if (const auto* array = dynamic_cast<const MSRPArrayValue*>(object.get())) {
    MSRPValueRef value = array->valueForProperty(*key, error);
    return MSRPHasError(error) ? undefined() : value;
  }
  if (const MSRPPropertyMap* properties = propertiesOf(object)) {
    std::u16string name = key->stringValueOrError(error);
    if (MSRPHasError(error)) return undefined();
    return properties->valueForName(name);
  }
  if (const auto* string = dynamic_cast<const MSRPStringValue*>(object.get())) {
    std::u16string name = key->stringValueOrError(error);
    if (MSRPHasError(error)) return undefined();
    const std::u16string& text = string->value();
    if (name == u"length") return number(static_cast<double>(text.size()));
    if (!MSRPIsArrayIndexValue(*key)) return undefined();
    // Compared as doubles: the index may be far past any text.
    double index = std::trunc(key->doubleValueOrError(error));
    if (MSRPHasError(error) || index >= static_cast<double>(text.size())) return undefined();
    return std::make_shared<MSRPStringValue>(std::u16string(1, text[static_cast<size_t>(index)]));
  }
  return undefined();
}

MSRPValueRef propertyWrite(const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 3, error)) return undefined();
  const MSRPValueRef& object = a[0];
  if (object == MSRPNullValue::sharedInstance() || object == undefined()) {
    MSRPSetError(error, MSRPErrorPropertyOfNullOrUndefined);
    return undefined();
  }
  if (auto* array = dynamic_cast<MSRPArrayValue*>(object.get())) {
    array->setValue(a[2], *a[1], error);
    return MSRPHasError(error) ? undefined() : a[2];
  }
  if (MSRPPropertyMap* properties = propertiesOf(object)) {
    std::u16string name = a[1]->stringValueOrError(error);
    if (MSRPHasError(error)) return undefined();
    if (!properties->hasName(name) && !MSRPAllowObjects(1, error)) return undefined();
    properties->setValue(a[2], name);
  }
  return a[2];
}

MSRPValueRef typeName(const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return undefined();
  const MSRPRuntimeValue& value = *a[0];
  const char16_t* name = u"object";
  if (MSRPValueIs<MSRPBooleanValue>(value)) {
    name = u"boolean";
  } else if (MSRPValueIs<MSRPFunctionValue>(value)) {
    name = u"function";
  } else if (MSRPValueIs<MSRPNumberValue>(value)) {
    name = u"number";
  } else if (MSRPValueIs<MSRPStringValue>(value)) {
    name = u"string";
  } else if (MSRPValueIs<MSRPUndefinedValue>(value)) {
    name = u"undefined";
  }
  return std::make_shared<MSRPStringValue>(name);
}

MSRPValueRef undefinedValue(const MSRPValueList&, const Scope&, ns::Error&) { return undefined(); }
MSRPValueRef nullValue(const MSRPValueList&, const Scope&, ns::Error&) { return MSRPNullValue::sharedInstance(); }

}  // namespace

MSRPVariableCommandEvaluator::MSRPVariableCommandEvaluator()
    : MSRPTableCommandEvaluator(Style::Eager, {{u"3", assign},
                                               {u"41", declare},
                                               {u"52", declareConstants},
                                               {u"15", read},
                                               {u"7", arrayLiteral},
                                               {u"8", objectLiteral},
                                               {u"16", propertyRead},
                                               {u"17", propertyRead},
                                               {u"43", propertyWrite},
                                               {u"40", typeName},
                                               {u"44", undefinedValue},
                                               {u"45", nullValue}}) {}
