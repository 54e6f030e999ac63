// The connector's conditional user properties: a caller's dictionary of
// field names becomes the controller's record.
#include <functional>
#include <map>

#include "Libraries/Measurement/Core/MSRConditionalUserPropertyController.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/VOZIzizuzoveConnector.h"

namespace {

using Setter = std::function<bool(ZOVAConditionalUserProperty&, const ns::Value&)>;

Setter text(void (MSRConditionalUserProperty::*set)(std::string)) {
  return [set](ZOVAConditionalUserProperty& p, const ns::Value& v) {
    if (!v.isString()) return false;
    (p.*set)(v.stringValue());
    return true;
  };
}
Setter number(void (MSRConditionalUserProperty::*set)(double)) {
  return [set](ZOVAConditionalUserProperty& p, const ns::Value& v) {
    if (!v.isNumber()) return false;
    (p.*set)(v.doubleValue());
    return true;
  };
}
Setter event(void (MSRConditionalUserProperty::*set)(std::shared_ptr<MSREvent>)) {
  return [set](ZOVAConditionalUserProperty& p, const ns::Value& v) {
    if (!v.asDictionary()) return false;
    (p.*set)(VOZIzizuzoveConnector::eventFromDictionary(*v.asDictionary()));
    return true;
  };
}

// The record's fields by the names callers use for them.
const std::map<std::string, Setter>& setters() {
  static const std::map<std::string, Setter> table{
      {"name", text(&MSRConditionalUserProperty::setName)},
      {"origin", text(&MSRConditionalUserProperty::setOrigin)},
      {"triggerEventName", text(&MSRConditionalUserProperty::setTriggerEventName)},
      {"triggerTimeout", number(&MSRConditionalUserProperty::setTriggerTimeout)},
      {"timeToLive", number(&MSRConditionalUserProperty::setTimeToLive)},
      {"creationTimestamp", number(&MSRConditionalUserProperty::setCreationTimestamp)},
      {"triggeredTimestamp", number(&MSRConditionalUserProperty::setTriggeredTimestamp)},
      {"triggeredEvent", event(&MSRConditionalUserProperty::setTriggeredEvent)},
      {"timedOutEvent", event(&MSRConditionalUserProperty::setTimedOutEvent)},
      {"expiredEvent", event(&MSRConditionalUserProperty::setExpiredEvent)},
      {"value",
       [](ZOVAConditionalUserProperty& p, const ns::Value& v) {
         if (!v.isString()) return false;
         p.setValue(MSRValue::initWithString(v.stringValue()));
         return true;
       }},
      {"active",
       [](ZOVAConditionalUserProperty& p, const ns::Value& v) {
         if (!v.isNumber()) return false;
         p.setActive(v.boolValue());
         return true;
       }},
  };
  return table;
}

}  // namespace

void VOZIzizuzoveConnector::setConditionalUserProperty(const ns::Dictionary& dictionary) {
  if (dictionary.empty()) return;
  auto property = std::make_shared<ZOVAConditionalUserProperty>();
  for (const auto& [key, value] : ns::Dictionary(dictionary)) {
    auto found = setters().find(key);
    if (found == setters().end() || !found->second(*property, value)) {
      MSRMeasurement::monitor()->logWithLevel(2, 11021, "Ignored conditional user property field. Key", key);
    }
  }
  MSRConditionalUserPropertyController::sharedInstance()->setConditionalUserProperty(property, property->name());
}

void VOZIzizuzoveConnector::clearConditionalUserProperty(const std::string&, const std::string& origin,
                                                         const std::string& clearEventName,
                                                         const ns::Dictionary& clearEventParameters) {
  auto first = clearEventParameters.begin();
  if (first == clearEventParameters.end() || first->first.empty() || first->second.isNull()) return;
  ns::Dictionary params;
  params.set(first->first, first->second);
  auto clearEvent = eventWithOrigin(origin, clearEventName, params);
  MSRConditionalUserPropertyController::sharedInstance()->clearConditionalUserPropertyWithClearEvent(clearEvent,
                                                                                                     first->first);
}

std::vector<ns::Dictionary> VOZIzizuzoveConnector::conditionalUserProperties(const std::string& origin,
                                                                             const std::string& propertyNamePrefix) {
  std::vector<ns::Dictionary> answer;
  auto found = MSRConditionalUserPropertyController::sharedInstance()->conditionalUserPropertiesWithNamePrefix(
      propertyNamePrefix, origin);
  if (!found) return answer;
  for (const auto& property : *found) {
    if (!property || property->name().empty() || !property->value() || !property->value()->isString()) continue;
    answer.push_back(ns::Dictionary{{"name", ns::Value(property->name())},
                                    {"value", ns::Value(*property->value()->stringValue())}});
  }
  return answer;
}
