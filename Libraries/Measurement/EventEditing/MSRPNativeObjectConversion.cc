// The native-object half of MSRPRuntimeEntityConverter.
#include <cmath>
#include <utility>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Platform/Foundation/StringUtf16.h"

MSRPValueRef MSRPRuntimeEntityConverter::runtimeValueFromNSObject(const ns::Value* object, ns::Error& error) {
  if (object == nullptr || object->isNull()) return MSRPNullValue::sharedInstance();
  if (const std::string* text = object->asString()) return std::make_shared<MSRPStringValue>(ns::toUtf16(*text));
  if (object->isBool()) return MSRPBooleanValue::booleanValueWithBool(object->boolValue());
  if (object->isNumber()) return std::make_shared<MSRPNumberValue>(object->doubleValue());
  if (!object->isDictionary() && !object->isArray()) {
    MSRPSetError(error, MSRPErrorNativeObject);
    return MSRPUndefinedValue::sharedInstance();
  }
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return MSRPUndefinedValue::sharedInstance();
  if (const ns::Dictionary* dictionary = object->asDictionary()) {
    auto map = std::make_shared<MSRPMapValue>();
    for (const auto& [key, value] : *dictionary) {
      MSRPValueRef converted = runtimeValueFromNSObject(&value, error);
      if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
      map->setValue(std::move(converted), ns::toUtf16(key));
    }
    return map;
  }
  MSRPValueList elements;
  for (const ns::Value& element : *object->asArray()) {
    elements.push_back(runtimeValueFromNSObject(&element, error));
    if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
  }
  return std::make_shared<MSRPArrayValue>(std::move(elements));
}

std::optional<ns::Value> MSRPRuntimeEntityConverter::objectFromRuntimeValue(const MSRPRuntimeValue& value,
                                                                            ns::Error& error) {
  if (&value == MSRPNullValue::sharedInstance().get()) return std::nullopt;
  if (&value == MSRPUndefinedValue::sharedInstance().get()) return ns::Value("");
  if (const auto* map = dynamic_cast<const MSRPMapValue*>(&value)) return ns::Value(dictionaryFromMapValue(*map, error));
  if (const auto* array = dynamic_cast<const MSRPArrayValue*>(&value)) {
    ns::Array elements;
    MSRPNestingGuard nesting(error);
    if (!nesting.entered()) return ns::Value(std::move(elements));
    for (const MSRPValueRef& element : array->allElements()) {
      std::optional<ns::Value> converted = objectFromRuntimeValue(*element, error);
      if (MSRPHasError(error)) break;
      elements.push_back(converted ? std::move(*converted) : ns::Value(ns::Null{}));
    }
    return ns::Value(std::move(elements));
  }
  double number = value.doubleValueOrError(error);
  if (!std::isnan(number)) return ns::Value(number);
  return ns::Value(ns::toUtf8(value.stringValueOrError(error)));
}

ns::Dictionary MSRPRuntimeEntityConverter::dictionaryFromMapValue(const MSRPMapValue& map, ns::Error& error) {
  ns::Dictionary dictionary;
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return dictionary;
  for (const std::u16string& name : map.allPropertyNames()) {
    MSRPValueRef property = map.valueForProperty(name);
    std::optional<ns::Value> converted = objectFromRuntimeValue(*property, error);
    if (MSRPHasError(error)) break;
    if (converted) dictionary.set(ns::toUtf8(name), std::move(*converted));
  }
  return dictionary;
}
