// The native-object half of MSRPRuntimeEntityConverter.
#include <cmath>
#include <utility>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRunBudget.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

// Whether a conversion to native objects is under way on this thread (its
// objects were counted at its start).
thread_local bool tConverting = false;

// Counts the objects converting `value` builds into `count`; NO once the
// count passes `limit` or nesting fails (its error set).
bool countObjects(const MSRPRuntimeValue& value, size_t limit, size_t& count, ns::Error& error) {
  if (++count > limit) return false;
  const auto* map = dynamic_cast<const MSRPMapValue*>(&value);
  const auto* array = dynamic_cast<const MSRPArrayValue*>(&value);
  if (map == nullptr && array == nullptr) return true;
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return false;
  if (map != nullptr) {
    for (const std::u16string& name : map->allPropertyNames()) {
      if (!countObjects(*map->valueForProperty(name), limit, count, error)) return false;
    }
    return true;
  }
  for (const MSRPValueRef& element : array->positions()) {
    if (!countObjects(*element, limit, count, error)) return false;
  }
  return true;
}

// Held by each entry to the conversion to native objects: the outermost
// counts what the whole conversion builds and takes it from the run's
// allowance, or fails (allowed() NO, the error set).
class ConversionAllowance {
 public:
  ConversionAllowance(const MSRPRuntimeValue& value, ns::Error& error) : outermost_(!tConverting) {
    if (!outermost_) return;
    MSRPRunBudget* budget = MSRPRunBudget::current();
    size_t limit = budget != nullptr ? MSRPRunAllowance - budget->spent() : MSRPRunAllowance;
    size_t count = 0;
    if (!countObjects(value, limit, count, error)) {
      if (!MSRPHasError(error)) MSRPSetError(error, MSRPErrorSizeLimit);
      allowed_ = false;
      return;
    }
    if (budget != nullptr) budget->spend(count, error);
    tConverting = true;
  }
  ~ConversionAllowance() {
    if (outermost_ && allowed_) tConverting = false;
  }
  ConversionAllowance(const ConversionAllowance&) = delete;
  ConversionAllowance& operator=(const ConversionAllowance&) = delete;
  bool allowed() const { return allowed_; }

 private:
  bool outermost_;
  bool allowed_ = true;
};

}  // namespace

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
  ConversionAllowance allowance(value, error);
  if (!allowance.allowed()) return ns::Value("");
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
  ConversionAllowance allowance(map, error);
  if (!allowance.allowed()) return dictionary;
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
