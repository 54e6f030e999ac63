#include "Libraries/Measurement/Core/MSREvent.h"

#include <cfloat>
#include <cmath>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

constexpr const char* kOriginParameter = "_o";

// Field indexes of the messages.
constexpr int32_t kEventParams = 0, kEventName = 1, kEventTimestamp = 2, kEventPreviousTimestamp = 3;
constexpr int32_t kParamName = 0, kParamString = 1, kParamInt = 2, kParamDouble = 4, kParamValues = 5;

int64_t millisecondsFrom(double seconds) { return static_cast<int64_t>(std::trunc(seconds * 1000.0)); }

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
  (void)isPublic;  // the public-name rules come with the validator
  if (origin.empty() || name.empty()) return nullptr;
  if (previousTimestamp > timestamp) {
    MSRMeasurement::monitor()->logWithLevel(5, 16002, "Event created with previous timestamp after current timestamp");
  }
  std::shared_ptr<MSREvent> event(new MSREvent());
  event->origin_ = origin;
  event->name_ = name;
  event->timestamp_ = timestamp;
  event->previousTimestamp_ = previousTimestamp;
  event->parameters_ = parameters;
  event->parameters_.insert_or_assign(kOriginParameter, MSRValue::initWithString(origin));
  return event;
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
