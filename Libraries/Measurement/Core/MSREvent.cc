#include "Libraries/Measurement/Core/MSREvent.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSREventNameMap.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNumericUtil.h"
#include "Libraries/Measurement/EventEditing/MSRPEvent.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

constexpr const char* kOriginParameter = "_o";

// Field indexes of the messages.
constexpr int32_t kEventParams = 0, kEventName = 1, kEventTimestamp = 2, kEventPreviousTimestamp = 3;
constexpr int32_t kParamName = 0, kParamString = 1, kParamInt = 2, kParamDouble = 4, kParamValues = 5;

int64_t millisecondsFrom(double seconds) { return MSRMillisecondsFromSeconds(seconds); }

bool isInt64One(const MSRValueMap& parameters, const char* name) {
  auto it = parameters.find(name);
  return it != parameters.end() && it->second.isInt64() && it->second.int64Value() == 1;
}

// A plain object of the editing engine for a value; arrays only at the top.
std::optional<ns::Value> plainValue(const MSRValue& value, bool allowArray) {
  if (value.isDouble()) return ns::Value(value.doubleValue());
  if (value.isInt64()) return ns::Value(static_cast<long long>(value.int64Value()));
  if (value.isString()) return ns::Value(*value.stringValue());
  if (!allowArray) return std::nullopt;
  ns::Array items;
  for (const MSRValueMap& item : *value.arrayValue()) {
    ns::Dictionary entries;
    for (const auto& [name, entry] : item) {
      if (auto plain = plainValue(entry, false)) entries.set(name, *plain);
    }
    items.push_back(ns::Value(std::move(entries)));
  }
  return ns::Value(std::move(items));
}

// Sets the one value field of a scalar parameter (an array has none).
void setScalar(MSRPBEventParam& param, const MSRValue& value) {
  if (value.isDouble()) {
    MSRPBMessageSetDouble(&param, kParamDouble, value.doubleValue());
  } else if (value.isInt64()) {
    MSRPBMessageSetInt64(&param, kParamInt, value.int64Value());
  } else if (value.isString()) {
    MSRPBMessageSetString(&param, kParamString, *value.stringValue());
  }
}

// The parameters of one array item, arrays within it left out.
MSRPBArray itemParams(const std::string& eventName, const std::string& paramName, const MSRValueMap& item) {
  MSRPBArray out;
  for (const auto& [name, value] : item) {
    if (value.isArray()) {
      MSRMeasurement::monitor()->logWithLevel(2, 16007,
                                              "Nested params cannot have more than 1 level. Event name, param name",
                                              eventName, paramName);
      continue;
    }
    auto param = MSRPBEventParam::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(param.get(), kParamName, name);
    setScalar(*param, value);
    out.push_back(std::shared_ptr<NANOMessageBase>(param));
  }
  return out;
}

}  // namespace

std::shared_ptr<MSREvent> MSREvent::initWithOrigin(const std::string& origin, bool isPublic, const std::string& name,
                                                   double timestamp, double previousTimestamp,
                                                   const MSRValueMap& parameters) {
  ns::Value originObject(origin), nameObject(name);
  int64_t failureCode = 0;
  if (!MSRDataTypeValidator::isValidForwardedEventOrigin(&originObject, &failureCode) &&
      (failureCode != 6 || !MSRDataTypeValidator::isValidInternalEventOrigin(&originObject))) {
    return nullptr;
  }
  if (isPublic && !MSRDataTypeValidator::isValidPublicEventName(&nameObject)) return nullptr;
  if (!MSRDataTypeValidator::isValidInternalEventName(&nameObject)) return nullptr;
  if (previousTimestamp > timestamp) {
    MSRMeasurement::monitor()->logWithLevel(5, 16002, "Event created with previous timestamp after current timestamp");
  }
  std::shared_ptr<MSREvent> event(new MSREvent());
  event->origin_ = origin;
  event->name_ = name;
  event->timestamp_ = timestamp;
  event->previousTimestamp_ = previousTimestamp;
  event->parameters_ = MSRValidatedEventParameters(parameters, name, isPublic, false).value_or(MSRValueMap{});
  event->parameters_.insert_or_assign(kOriginParameter, MSRValue::initWithString(origin));
  if (event->shouldValidateParams() && !MSRValidateValueAndCurrency(event->parameters_)) {
    event->parameters_.erase("_c");
  }
  return event;
}

bool MSREvent::isConversion() const { return isInt64One(parameters_, "_c"); }

void MSREvent::setConversion(bool conversion) {
  if (conversion) {
    if (!MSRValidateValueAndCurrency(parameters_)) return;
    parameters_.insert_or_assign("_c", MSRValue::initWithInt64(1));
    auto error = parameters_.find("_err");
    if (error != parameters_.end() && error->second == MSRValue::initWithInt64(10)) parameters_.erase(error);
    return;
  }
  if (parameters_.erase("_c")) MSRSetErrorCodeIfAbsent(parameters_, 10);  // conversion limit reached
}

bool MSREvent::isRealtime() const {
  auto it = parameters_.find("_r");
  if (it == parameters_.end()) return false;
  if (!it->second.isInt64()) {
    MSRMeasurement::monitor()->logWithLevel(2, 16006, "Realtime parameter must be an int64. Event name", name_);
    return false;
  }
  return it->second.int64Value() == 1;
}

void MSREvent::setRealtime(bool realtime) {
  if (realtime) {
    parameters_.insert_or_assign("_r", MSRValue::initWithInt64(1));
  } else {
    parameters_.erase("_r");
  }
}

bool MSREvent::isDebug() const { return isInt64One(parameters_, "_dbg"); }

void MSREvent::setDebug(bool debug) {
  if (debug) {
    parameters_.insert_or_assign("_dbg", MSRValue::initWithInt64(1));
  } else {
    parameters_.erase("_dbg");
  }
}

bool MSREvent::shouldValidateParams() const {
  return isConversion() || name_ == "ad_impression" || name_ == "_ai";
}

std::shared_ptr<MSREvent> MSREvent::copyWithPreviousTimestamp(double previousTimestamp) const {
  return initWithOrigin(origin_, false, name_, timestamp_, previousTimestamp, parameters_);
}

std::shared_ptr<MSREvent> MSREvent::copyWithParameters(const MSRValueMap& parameters) const {
  return initWithOrigin(origin_, false, name_, timestamp_, previousTimestamp_, parameters);
}

std::shared_ptr<MSREvent> MSREvent::copy() const {
  return initWithOrigin(origin_, false, name_, timestamp_, previousTimestamp_, parameters_);
}

void MSREvent::applyParameters(const MSRValueMap& defaults) {
  if (defaults.empty()) return;
  std::optional<MSRValueMap> merged = MSRValidatedEventParameters(defaults, "", true, false);
  if (!merged || merged->empty()) return;
  for (const auto& [name, value] : parameters_) merged->insert_or_assign(name, value);
  parameters_ = std::move(*merged);
}

MSRPEvent MSREvent::editEvent() const {
  const auto& internalNames = MSRInternalEventNameMap();
  auto publicName = internalNames.find(name_);
  ns::Dictionary parameters;
  for (const auto& [name, value] : parameters_) {
    if (auto plain = plainValue(value, true)) parameters.set(name, *plain);
  }
  return MSRPEvent(publicName != internalNames.end() ? publicName->second : name_, timestamp_, std::move(parameters));
}

std::shared_ptr<MSREvent> MSREvent::eventFromEditEvent(const MSRPEvent& edited) {
  const auto& names = MSREventNameMap();
  auto internalName = names.find(edited.name());
  const ns::Value* originObject = edited.parameterForName(kOriginParameter);
  std::string origin = originObject && originObject->asString() ? *originObject->asString() : "app";
  MSRParameterInput parameters;
  for (const auto& [name, value] : edited.parameters()) parameters.emplace(name, value);
  std::string name = internalName != names.end() ? internalName->second : edited.name();
  // The initialiser takes value objects; the edited parameters are
  // cleaned first so plain arrays are converted item by item.
  MSRValueMap values = MSRValidatedEventParameters(parameters, name, false, false).value_or(MSRValueMap{});
  return initWithOrigin(origin, false, name, edited.timestamp(), 0, values);
}

std::shared_ptr<MSREvent> MSREvent::initWithEventProto(const MSRPBEvent& message) {
  std::string name = MSRPBMessageGetString(&message, kEventName).value_or("");
  std::optional<std::string> origin;
  MSRValueMap parameters;
  for (const auto& element : MSRPBMessageGetArray<MSRPBEventParam>(&message, kEventParams).value_or(MSRPBArray{})) {
    auto param = MSRPBArrayElementMessage<MSRPBEventParam>(element);
    if (!param) continue;
    std::optional<std::string> paramName = MSRPBMessageGetString(param.get(), kParamName);
    if (!paramName) {
      MSRMeasurement::monitor()->logWithLevel(2, 15000, "Ignoring parameter. Parameter name is nil. Event name", name);
      continue;
    }
    bool hasString = MSRPBMessageHasField(param.get(), kParamString);
    if (*paramName == kOriginParameter) {
      if (!hasString) {
        MSRMeasurement::monitor()->logWithLevel(
            2, 15001, "Cannot create an event from event proto. Origin parameter is not a string. Event name", name);
        return nullptr;
      }
      origin = MSRPBMessageGetString(param.get(), kParamString);
      continue;
    }
    if (hasString) {
      parameters.insert_or_assign(*paramName,
                                  MSRValue::initWithString(MSRPBMessageGetString(param.get(), kParamString).value_or("")));
    } else if (MSRPBMessageHasField(param.get(), kParamInt)) {
      parameters.insert_or_assign(*paramName, MSRValue::initWithInt64(MSRPBMessageGetInt64(param.get(), kParamInt)));
    } else if (MSRPBMessageHasField(param.get(), kParamDouble)) {
      parameters.insert_or_assign(*paramName, MSRValue::initWithDouble(MSRPBMessageGetDouble(param.get(), kParamDouble)));
    } else {
      MSRMeasurement::monitor()->logWithLevel(
          5, 15002, "Unknown event parameter type from converting an event proto into MSREvent instance. Event param name",
          *paramName);
    }
  }
  if (!origin) return nullptr;
  return initWithOrigin(*origin, false, name, MSRPBMessageGetInt64(&message, kEventTimestamp) / 1000.0,
                        MSRPBMessageGetInt64(&message, kEventPreviousTimestamp) / 1000.0, parameters);
}

std::shared_ptr<MSRPBEvent> MSREvent::protoEvent() const {
  auto message = MSRPBEvent::initWithMessageInfo(nullptr);
  MSRPBMessageSetString(message.get(), kEventName, name_);
  if (previousTimestamp_ > DBL_EPSILON) {
    MSRPBMessageSetInt64(message.get(), kEventPreviousTimestamp, millisecondsFrom(previousTimestamp_));
  }
  if (timestamp_ > DBL_EPSILON) MSRPBMessageSetInt64(message.get(), kEventTimestamp, millisecondsFrom(timestamp_));
  MSRPBArray params;
  for (const auto& [paramName, value] : parameters_) {
    auto param = MSRPBEventParam::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(param.get(), kParamName, paramName);
    if (const auto* items = value.arrayValue()) {
      MSRPBArray itemMessages;
      for (const MSRValueMap& item : *items) {
        auto itemParam = MSRPBEventParam::initWithMessageInfo(nullptr);
        MSRPBMessageSetArray(itemParam.get(), kParamValues, itemParams(name_, paramName, item));
        itemMessages.push_back(std::shared_ptr<NANOMessageBase>(itemParam));
      }
      MSRPBMessageSetArray(param.get(), kParamValues, itemMessages);
    } else {
      setScalar(*param, value);
    }
    params.push_back(std::shared_ptr<NANOMessageBase>(param));
  }
  MSRPBMessageSetArray(message.get(), kEventParams, params);
  return message;
}

namespace {

enum class ScreenText { Absent, Valid, Invalid, NotText };

// "_sc" and "_sn": a string, plain or as a value, of the screen-value rule.
ScreenText checkScreenText(const std::map<std::string, MSRValueCandidate>& screen, const char* key) {
  auto it = screen.find(key);
  if (it == screen.end() || std::holds_alternative<std::monostate>(it->second)) return ScreenText::Absent;
  std::optional<ns::Value> text;
  if (const auto* value = std::get_if<MSRValue>(&it->second)) {
    if (auto string = value->stringValue()) text = ns::Value(*string);
  } else if (const auto* object = std::get_if<ns::Value>(&it->second)) {
    if (object->type() == ns::Value::Type::String) text = *object;
  }
  if (!text) return ScreenText::NotText;
  return MSRDataTypeValidator::isValidScreenParameterValue(&*text) ? ScreenText::Valid : ScreenText::Invalid;
}

std::optional<MSRValue> screenValue(const std::map<std::string, MSRValueCandidate>& screen, const char* key) {
  auto it = screen.find(key);
  if (it == screen.end()) return std::nullopt;
  if (const auto* value = std::get_if<MSRValue>(&it->second)) return *value;
  if (const auto* object = std::get_if<ns::Value>(&it->second)) return MSRValue::valueFromObject(*object);
  return std::nullopt;
}

ns::Value contextOf(const MSRValueCandidate& candidate) {
  if (const auto* value = std::get_if<MSRValue>(&candidate)) return ns::Value(value->stringValue().value_or(""));
  if (const auto* object = std::get_if<ns::Value>(&candidate)) return *object;
  return ns::Value();
}

}  // namespace

bool MSREvent::addScreenParameters(const std::map<std::string, MSRValueCandidate>& screen) {
  if (screen.empty() || parameters_.count("_sn") || parameters_.count("_sc") || parameters_.count("_si") ||
      !screen.count("_si"))
    return false;
  switch (checkScreenText(screen, "_sc")) {
    case ScreenText::Invalid:
      MSRMeasurement::monitor()->logWithLevel(3, 16003, "Received invalid screen class", contextOf(screen.at("_sc")));
      return false;
    case ScreenText::NotText: return false;
    default: break;
  }
  const auto& id = screen.at("_si");
  const auto* idValue = std::get_if<MSRValue>(&id);
  const auto* idObject = std::get_if<ns::Value>(&id);
  bool idIsNumber = (idValue && idValue->isInt64()) ||
                    (idObject && (idObject->type() == ns::Value::Type::Integer ||
                                  idObject->type() == ns::Value::Type::Real || idObject->type() == ns::Value::Type::Bool));
  if (!idIsNumber) return false;
  switch (checkScreenText(screen, "_sn")) {
    case ScreenText::Invalid:
      MSRMeasurement::monitor()->logWithLevel(3, 16004, "Received invalid screen name", contextOf(screen.at("_sn")));
      return false;
    case ScreenText::NotText: return false;
    default: break;
  }
  auto converted = screenValue(screen, "_si");
  if (!converted) return false;
  parameters_.insert_or_assign("_si", *converted);
  for (const char* key : {"_sc", "_sn"})
    if (auto value = screenValue(screen, key)) parameters_.insert_or_assign(key, *value);
  return true;
}
