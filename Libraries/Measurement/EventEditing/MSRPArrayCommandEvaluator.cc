#include "Libraries/Measurement/EventEditing/MSRPArrayCommandEvaluator.h"

#include <cmath>
#include <limits>

#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPCommandSupport.h"
#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

namespace {

using Scope = std::shared_ptr<MSRPScope>;

const MSRPValueRef& undefined() { return MSRPUndefinedValue::sharedInstance(); }
MSRPValueRef number(double value) { return std::make_shared<MSRPNumberValue>(value); }
MSRPValueRef self(MSRPArrayValue& array) { return array.shared_from_this(); }

// A number argument through MSRPToInteger, as a double (infinities kept);
// NaN after a failing conversion.
double integerArgument(const MSRPValueRef& value, ns::Error& error) {
  double number = value->doubleValueOrError(error);
  return MSRPHasError(error) ? std::numeric_limits<double>::quiet_NaN() : MSRPToInteger(number);
}

// A relative position (negative counts from the end) clamped to [low, count].
int64_t relativePosition(double integer, int64_t low, size_t count) {
  auto size = static_cast<double>(count);
  if (integer < 0) integer += size;
  return MSRPClampToInt64(integer, low, static_cast<int64_t>(count));
}

std::shared_ptr<MSRPFunctionValue> callback(const MSRPValueList& a, ns::Error& error) {
  auto function = MSRPValueAs<MSRPFunctionValue>(a[0]);
  if (!function) MSRPSetError(error, MSRPErrorArgumentKind);
  return function;
}

// The iteration of "every", "filter", "forEach", "map" and "some": the
// step gets each present position's index, element and the callback's
// result, and answers whether to go on. NO when the arguments are wrong
// (nothing ran; the method gives undefined).
template <class Step>
bool iterate(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error, Step step) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return false;
  auto function = callback(a, error);
  if (!function) return false;
  MSRPValueRef receiver = self(array);
  size_t count = array.count();
  for (size_t i = 0; i < count; ++i) {
    MSRPValueRef index = number(static_cast<double>(i));
    bool present = array.hasProperty(*index, error);
    if (MSRPHasError(error)) break;
    if (!present) continue;
    MSRPValueRef element = array.valueForProperty(*index, error);
    if (MSRPHasError(error)) break;
    MSRPValueRef result = function->invokeWithArguments({element, index, receiver}, scope, error);
    if (MSRPHasError(error) || !step(i, element, result)) break;
  }
  return true;
}

MSRPValueRef every(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  bool all = true;
  if (!iterate(array, a, scope, error, [&](size_t, const MSRPValueRef&, const MSRPValueRef& result) {
        all = result->booleanValueOrError(error);
        return all && !MSRPHasError(error);
      })) {
    return undefined();
  }
  return MSRPBooleanValue::booleanValueWithBool(all);
}

MSRPValueRef some(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  bool any = false;
  if (!iterate(array, a, scope, error, [&](size_t, const MSRPValueRef&, const MSRPValueRef& result) {
        any = result->booleanValueOrError(error);
        return !any && !MSRPHasError(error);
      })) {
    return undefined();
  }
  return MSRPBooleanValue::booleanValueWithBool(any);
}

MSRPValueRef filter(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  auto kept = std::make_shared<MSRPArrayValue>();
  if (!iterate(array, a, scope, error, [&](size_t, const MSRPValueRef& element, const MSRPValueRef& result) {
        bool keep = result->booleanValueOrError(error);
        if (keep && !MSRPHasError(error)) kept->appendElements({element}, error);
        return !MSRPHasError(error);
      })) {
    return undefined();
  }
  return kept;
}

MSRPValueRef forEach(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  iterate(array, a, scope, error, [](size_t, const MSRPValueRef&, const MSRPValueRef&) { return true; });
  return undefined();
}

MSRPValueRef map(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  auto mapped = std::make_shared<MSRPArrayValue>();
  if (!iterate(array, a, scope, error, [&](size_t i, const MSRPValueRef&, const MSRPValueRef& result) {
        mapped->setValue(result, *number(static_cast<double>(i)), error);
        return !MSRPHasError(error);
      })) {
    return undefined();
  }
  return mapped;
}

// "reduce" (ascending) and "reduceRight" (descending).
MSRPValueRef accumulate(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error,
                        bool descending) {
  if (!MSRPCheckMinimumArgumentCount(a, 1, error) || !MSRPCheckMaximumArgumentCount(a, 2, error)) return undefined();
  auto function = callback(a, error);
  if (!function) return undefined();
  if (a.size() == 2 && MSRPValueIs<MSRPControlValue>(*a[1])) {
    MSRPSetError(error, MSRPErrorArgumentKind);
    return undefined();
  }
  MSRPValueRef receiver = self(array);
  auto count = static_cast<int64_t>(array.count());
  int64_t i = descending ? count - 1 : 0;
  int64_t direction = descending ? -1 : 1;
  auto inside = [&] { return i >= 0 && i < count; };
  MSRPValueRef accumulator;
  if (a.size() == 2) {
    accumulator = a[1];
  } else {
    for (; inside(); i += direction) {
      MSRPValueRef index = number(static_cast<double>(i));
      bool present = array.hasProperty(*index, error);
      if (MSRPHasError(error)) return undefined();
      if (!present) continue;
      accumulator = array.valueForProperty(*index, error);
      if (MSRPHasError(error)) return undefined();
      i += direction;
      break;
    }
    if (!accumulator) {
      MSRPSetError(error, MSRPErrorReduceOfEmptyArray);
      return undefined();
    }
  }
  for (; inside(); i += direction) {
    MSRPValueRef index = number(static_cast<double>(i));
    bool present = array.hasProperty(*index, error);
    if (MSRPHasError(error)) return undefined();
    if (!present) continue;
    MSRPValueRef element = array.valueForProperty(*index, error);
    if (MSRPHasError(error)) return undefined();
    accumulator = function->invokeWithArguments({accumulator, element, index, receiver}, scope, error);
    if (MSRPHasError(error)) return undefined();
  }
  return accumulator;
}

MSRPValueRef reduce(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  return accumulate(array, a, scope, error, false);
}

MSRPValueRef reduceRight(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  return accumulate(array, a, scope, error, true);
}

MSRPValueRef concat(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  auto joined = std::make_shared<MSRPArrayValue>();
  if (!joined->concat(self(array), error)) return undefined();
  for (const MSRPValueRef& value : a) {
    if (!joined->concat(value, error)) return undefined();
  }
  return joined;
}

MSRPValueRef hasOwnProperty(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return undefined();
  std::u16string key = a[0]->stringValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  if (key == u"length") return MSRPBooleanValue::booleanValueWithBool(true);
  bool has = array.hasProperty(*a[0], error);
  if (MSRPHasError(error)) return undefined();
  return MSRPBooleanValue::booleanValueWithBool(has);
}

MSRPValueRef indexOf(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 2, error)) return undefined();
  MSRPValueRef target = a.empty() ? undefined() : a[0];
  double start = 0;
  if (a.size() == 2) {
    start = integerArgument(a[1], error);
    if (MSRPHasError(error)) return undefined();
  }
  auto count = static_cast<double>(array.count());
  if (start >= count) return number(-1);
  if (start < 0) start = std::max(start + count, 0.0);
  int64_t found = array.indexOfValue(*target, MSRPClampToInt64(start, 0, static_cast<int64_t>(array.count())), error);
  if (MSRPHasError(error)) return undefined();
  return number(static_cast<double>(found));
}

MSRPValueRef lastIndexOf(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 2, error)) return undefined();
  MSRPValueRef target = a.empty() ? undefined() : a[0];
  auto count = static_cast<double>(array.count());
  double start = count - 1;
  if (a.size() == 2) {
    double given = a[1]->doubleValueOrError(error);
    if (MSRPHasError(error)) return undefined();
    if (!std::isnan(given)) {
      start = MSRPToInteger(given);
      if (start < 0) start += count;
    }
  }
  if (start < 0) return number(-1);
  start = std::min(start, count - 1);
  int64_t found = array.lastIndexOfValue(*target, MSRPClampToInt64(start, -1, static_cast<int64_t>(array.count())), error);
  if (MSRPHasError(error)) return undefined();
  return number(static_cast<double>(found));
}

MSRPValueRef join(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 1, error)) return undefined();
  std::u16string separator = u",";
  if (!a.empty()) {
    bool none = a[0] == undefined() || a[0] == MSRPNullValue::sharedInstance();
    separator = none ? u"" : a[0]->stringValueOrError(error);
    if (MSRPHasError(error)) return undefined();
  }
  std::u16string text = array.stringValueWithSeparator(separator, error);
  if (MSRPHasError(error) || !MSRPAllowString(text.size(), error)) return undefined();
  return std::make_shared<MSRPStringValue>(std::move(text));
}

MSRPValueRef toString(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 0, error)) return undefined();
  return join(array, a, scope, error);
}

MSRPValueRef pop(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 0, error)) return undefined();
  return array.removeLastElement();
}

MSRPValueRef shift(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 0, error)) return undefined();
  return array.removeFirstElement();
}

MSRPValueRef push(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  size_t count = array.appendElements(a, error);
  if (MSRPHasError(error)) return undefined();
  return number(static_cast<double>(count));
}

MSRPValueRef unshift(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  size_t count = array.prependElements(a, error);
  if (MSRPHasError(error)) return undefined();
  return number(static_cast<double>(count));
}

MSRPValueRef reverse(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 0, error)) return undefined();
  array.reverse();
  return self(array);
}

MSRPValueRef slice(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 2, error)) return undefined();
  size_t count = array.count();
  int64_t begin = 0;
  auto end = static_cast<int64_t>(count);
  if (!a.empty()) {
    double first = integerArgument(a[0], error);
    if (MSRPHasError(error)) return undefined();
    begin = relativePosition(first, 0, count);
  }
  if (a.size() == 2) {
    double second = integerArgument(a[1], error);
    if (MSRPHasError(error)) return undefined();
    end = relativePosition(second, begin, count);
  }
  std::shared_ptr<MSRPArrayValue> part = array.subarrayWithRange(begin, end - begin, error);
  if (!part) return undefined();
  return part;
}

MSRPValueRef sort(MSRPArrayValue& array, const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 1, error)) return undefined();
  if (array.count() <= 1) return self(array);
  std::shared_ptr<MSRPFunctionValue> function;
  if (!a.empty()) {
    function = MSRPValueAs<MSRPFunctionValue>(a[0]);
    if (!function) {
      MSRPSetError(error, MSRPErrorArgumentKind);
      return self(array);
    }
  }
  MSRPValueRef receiver = self(array);  // held while the comparator runs
  array.sortUsingFunctionValue(function, scope, error);
  return receiver;
}

MSRPValueRef splice(MSRPArrayValue& array, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (a.empty()) return std::make_shared<MSRPArrayValue>();
  size_t count = array.count();
  double first = integerArgument(a[0], error);
  if (MSRPHasError(error)) return undefined();
  int64_t start = relativePosition(first, 0, count);
  auto deleteCount = static_cast<int64_t>(count) - start;
  if (a.size() >= 2) {
    double second = integerArgument(a[1], error);
    if (MSRPHasError(error)) return undefined();
    deleteCount = MSRPClampToInt64(second, 0, deleteCount);
  }
  MSRPValueList inserted(a.begin() + std::min<size_t>(2, a.size()), a.end());
  MSRPValueList removed = array.spliceFrom(start, deleteCount, inserted, error);
  if (MSRPHasError(error)) return undefined();
  return std::make_shared<MSRPArrayValue>(std::move(removed));
}

}  // namespace

MSRPArrayCommandEvaluator& MSRPArrayCommandEvaluator::sharedInstance() {
  static MSRPArrayCommandEvaluator evaluator;
  return evaluator;
}

MSRPArrayCommandEvaluator::MSRPArrayCommandEvaluator()
    : handlers_{{u"concat", concat},   {u"every", every},       {u"filter", filter},
                {u"forEach", forEach}, {u"hasOwnProperty", hasOwnProperty},
                {u"indexOf", indexOf}, {u"join", join},         {u"lastIndexOf", lastIndexOf},
                {u"map", map},         {u"pop", pop},           {u"push", push},
                {u"reduce", reduce},   {u"reduceRight", reduceRight},
                {u"reverse", reverse}, {u"shift", shift},       {u"slice", slice},
                {u"some", some},       {u"sort", sort},         {u"splice", splice},
                {u"toString", toString}, {u"unshift", unshift}} {}

MSRPValueRef MSRPArrayCommandEvaluator::evaluateCommand(const std::u16string& name,
                                                        const std::shared_ptr<MSRPArrayValue>& array,
                                                        const MSRPValueList& arguments, const Scope& scope,
                                                        ns::Error& error) const {
  return msrp::callMethod(handlers_, name, *array, arguments, scope, error);
}
