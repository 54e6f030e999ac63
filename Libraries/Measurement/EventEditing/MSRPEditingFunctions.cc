#include "Libraries/Measurement/EventEditing/MSRPEditingFunctions.h"

#include <limits>
#include <unordered_map>

#include "Libraries/Measurement/EventEditing/MSRPCommandSupport.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

using msrp::undefined;

// The arguments evaluated, when there are exactly `count` (else error 9).
bool evaluateExactly(const MSRPValueList& arguments, size_t count, const std::shared_ptr<MSRPScope>& scope,
                     MSRPValueList& values, ns::Error& error) {
  if (!MSRPCheckArgumentCount(arguments, count, error)) return false;
  values = MSRPEvaluateArguments(arguments, scope, error);
  return !MSRPHasError(error);
}

std::string textOf(const MSRPValueRef& value, ns::Error& error) { return ns::toUtf8(value->stringValueOrError(error)); }

using EventFunction = MSRPValueRef (*)(MSRPEventContext& context, const MSRPValueList& a, ns::Error& error);

MSRPValueRef getEventName(MSRPEventContext& context, const MSRPValueList& a, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 0, error)) return undefined();
  return std::make_shared<MSRPStringValue>(ns::toUtf16(context.outputEvent().name()));
}

MSRPValueRef getParamValue(MSRPEventContext& context, const MSRPValueList& a, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return undefined();
  std::string name = textOf(a[0], error);
  if (MSRPHasError(error)) return undefined();
  return MSRPRuntimeEntityConverter::runtimeValueFromNSObject(context.outputEvent().parameterForName(name), error);
}

MSRPValueRef getParams(MSRPEventContext& context, const MSRPValueList& a, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 0, error)) return undefined();
  auto map = std::make_shared<MSRPMapValue>();
  for (const auto& [name, value] : context.outputEvent().parameters()) {
    MSRPValueRef converted = MSRPRuntimeEntityConverter::runtimeValueFromNSObject(&value, error);
    if (MSRPHasError(error)) return undefined();
    map->setValue(std::move(converted), ns::toUtf16(name));
  }
  return map;
}

MSRPValueRef getTimestamp(MSRPEventContext& context, const MSRPValueList& a, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 0, error)) return undefined();
  return msrp::number(context.outputEvent().timestamp());
}

MSRPValueRef setEventName(MSRPEventContext& context, const MSRPValueList& a, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return undefined();
  if (a[0] == undefined() || a[0] == MSRPNullValue::sharedInstance()) {
    MSRPSetError(error, MSRPErrorArgumentKind);
    return undefined();
  }
  std::u16string name = a[0]->stringValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  context.outputEvent().setName(ns::toUtf8(name));
  return std::make_shared<MSRPStringValue>(std::move(name));
}

MSRPValueRef setParamValue(MSRPEventContext& context, const MSRPValueList& a, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 2, error)) return undefined();
  std::string name = textOf(a[0], error);
  if (MSRPHasError(error)) return undefined();
  std::optional<ns::Value> value = MSRPRuntimeEntityConverter::objectFromRuntimeValue(*a[1], error);
  if (MSRPHasError(error)) return undefined();
  context.outputEvent().setParameter(value, name);
  return a[1];
}

const std::unordered_map<std::u16string, EventFunction>& eventFunctions() {
  static const auto* table = new std::unordered_map<std::u16string, EventFunction>{
      {u"getEventName", getEventName}, {u"getParamValue", getParamValue}, {u"getParams", getParams},
      {u"getTimestamp", getTimestamp}, {u"setEventName", setEventName},   {u"setParamValue", setParamValue}};
  return *table;
}

}  // namespace

MSRPRegisterCallbackNativeFunctionValue::MSRPRegisterCallbackNativeFunctionValue(
    std::shared_ptr<MSRPEditingCallbackHandler> callbackHandler)
    : MSRPFunctionValue(u"internal.registerCallback"), callbackHandler_(std::move(callbackHandler)) {}

MSRPValueRef MSRPRegisterCallbackNativeFunctionValue::invokeWithArguments(const MSRPValueList& arguments,
                                                                         const std::shared_ptr<MSRPScope>& scope,
                                                                         ns::Error& error) {
  MSRPValueList a;
  if (!evaluateExactly(arguments, 3, scope, a, error)) return undefined();
  auto callback = MSRPValueAs<MSRPFunctionValue>(a[1]);
  auto options = MSRPValueAs<MSRPMapValue>(a[2]);
  if (!callback || !options) {
    MSRPSetError(error, MSRPErrorArgumentKind);
    return undefined();
  }
  if (!options->hasProperty(u"type")) {
    MSRPSetEditingError(error, MSRPEditingErrorNoRuleType);
    return undefined();
  }
  std::u16string type = options->valueForProperty(u"type")->stringValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  int64_t priority = 1000;
  if (options->hasProperty(u"priority")) {
    double number = options->valueForProperty(u"priority")->doubleValueOrError(error);
    if (MSRPHasError(error)) return undefined();
    priority = MSRPToInt32(number);
  }
  callbackHandler_->registerWithPriority(priority, std::move(callback), type, error);
  return undefined();
}

MSRPEventLogger::MSRPEventLogger(std::shared_ptr<MSRPEventContext> eventContext)
    : MSRPFunctionValue(u"internal.eventLogger"), eventContext_(std::move(eventContext)) {}

MSRPValueRef MSRPEventLogger::invokeWithArguments(const MSRPValueList& arguments,
                                                  const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  MSRPValueList a;
  if (!evaluateExactly(arguments, 3, scope, a, error)) return undefined();
  std::string name = textOf(a[0], error);
  if (MSRPHasError(error)) return undefined();
  double number = a[1]->doubleValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  int64_t timestamp =
      MSRPClampToInt64(MSRPToInteger(number), std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
  auto map = MSRPValueAs<MSRPMapValue>(a[2]);
  if (!map) {
    MSRPSetError(error, MSRPErrorArgumentKind);
    return undefined();
  }
  ns::Dictionary parameters;
  for (const std::u16string& property : map->allPropertyNames()) {
    std::optional<ns::Value> value =
        MSRPRuntimeEntityConverter::objectFromRuntimeValue(*map->valueForProperty(property), error);
    if (MSRPHasError(error)) return undefined();
    if (value) parameters.set(ns::toUtf8(property), std::move(*value));
  }
  eventContext_->logEventWithName(name, static_cast<double>(timestamp), parameters);
  return undefined();
}

MSRPEventNativeFunctions::MSRPEventNativeFunctions(std::shared_ptr<MSRPEventContext> eventContext)
    : eventContext_(std::move(eventContext)) {}

MSRPValueRef MSRPEventNativeFunctions::applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                                                     const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  auto found = eventFunctions().find(name);
  if (found == eventFunctions().end()) return MSRPMapValue::applyWithName(name, arguments, scope, error);
  MSRPValueList values = MSRPEvaluateArguments(arguments, scope, error);
  if (MSRPHasError(error)) return undefined();
  return found->second(*eventContext_, values, error);
}
