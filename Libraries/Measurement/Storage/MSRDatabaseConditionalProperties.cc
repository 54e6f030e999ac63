// Conditional user properties: the conditional_properties table.
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/Measurement/Storage/MSRDatabaseStoredValues.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Format.h"

namespace {

constexpr const char* kTable = "conditional_properties";
constexpr int64_t kMaxConditionalProperties = 1000;

double now() { return ns::Date::now().timeIntervalSince1970(); }

double doubleOf(const ns::Dictionary& row, const char* column) {
  const ns::Value* value = row.find(column);
  return value ? value->doubleValue() : 0.0;
}

std::string stringOf(const ns::Dictionary& row, const char* column) {
  const ns::Value* value = row.find(column);
  return value ? value->stringValue() : std::string();
}

// Reads one stored event column into the property; false when the column
// holds something that is no event.
bool readEvent(const ns::Dictionary& row, const char* column, ns::Error* error,
               void (MSRConditionalUserProperty::*set)(std::shared_ptr<MSREvent>),
               MSRConditionalUserProperty& property) {
  const ns::Value* stored = row.find(column);
  if (!stored || stored->isNull()) return true;
  auto event = MSREventFromStoredColumn(*stored, error);
  if (!event) return false;
  (property.*set)(std::move(event));
  return true;
}

std::shared_ptr<MSRConditionalUserProperty> conditionalPropertyFromRow(const ns::Dictionary& row, ns::Error* error) {
  auto property = std::make_shared<MSRConditionalUserProperty>();
  property->setName(stringOf(row, "name"));
  property->setOrigin(stringOf(row, "origin"));
  const ns::Value* value = row.find("value");
  property->setValue(value ? MSRValue::valueFromObject(*value) : std::nullopt);
  property->setTriggerTimeout(doubleOf(row, "trigger_timeout"));
  property->setTimeToLive(doubleOf(row, "time_to_live"));
  const ns::Value* trigger = row.find("trigger_event_name");
  if (trigger && !trigger->isNull()) property->setTriggerEventName(trigger->stringValue());
  if (!readEvent(row, "triggered_event", error, &MSRConditionalUserProperty::setTriggeredEvent, *property) ||
      !readEvent(row, "timed_out_event", error, &MSRConditionalUserProperty::setTimedOutEvent, *property) ||
      !readEvent(row, "expired_event", error, &MSRConditionalUserProperty::setExpiredEvent, *property)) {
    return nullptr;
  }
  const ns::Value* active = row.find("active");
  property->setActive(active && active->boolValue());
  property->setCreationTimestamp(doubleOf(row, "creation_timestamp"));
  property->setTriggeredTimestamp(doubleOf(row, "triggered_timestamp"));
  return property;
}

// Adds the event's encoded message under the column when there is one.
void addEvent(ns::Dictionary& row, const char* column, const std::shared_ptr<MSREvent>& event) {
  if (!event) return;
  if (auto data = MSRStoredEventData(*event)) row.set(column, std::move(*data));
}

}  // namespace

std::shared_ptr<MSRConditionalUserProperty> MSRDatabase::conditionalUserPropertyWithName(const std::string& name,
                                                                                         ns::Error* error) {
  auto rows = dataTypesFromTableWithName<MSRConditionalUserProperty>(kTable, "name", ns::Value(name), error,
                                                                     conditionalPropertyFromRow);
  return rows && !rows->empty() ? rows->front() : nullptr;
}

bool MSRDatabase::updateConditionalUserProperty(const std::shared_ptr<MSRConditionalUserProperty>& property,
                                                ns::Error* error) {
  if (!property) {
    return MSRDatabaseFail(error, 3, "Received empty conditional user property for getting dictionary representation");
  }
  if (property->name().empty()) {
    return MSRDatabaseFail(error, 3,
                           "Received conditional user property with empty name for getting dictionary representation");
  }
  if (property->origin().empty()) {
    return MSRDatabaseFail(
        error, 3, "Received conditional user property with empty origin for getting dictionary representation");
  }
  if (!property->value()) {
    return MSRDatabaseFail(error, 3,
                           "Received conditional user property with nil value for getting dictionary representation");
  }
  ns::Dictionary row{{"name", property->name()},
                     {"origin", property->origin()},
                     {"value", MSRStoredValueFromValue(*property->value())},
                     {"creation_timestamp", property->creationTimestamp()},
                     {"active", property->isActive()},
                     {"trigger_timeout", property->triggerTimeout()},
                     {"triggered_timestamp", property->triggeredTimestamp()},
                     {"time_to_live", property->timeToLive()}};
  if (!property->triggerEventName().empty()) row.set("trigger_event_name", property->triggerEventName());
  addEvent(row, "triggered_event", property->triggeredEvent());
  addEvent(row, "timed_out_event", property->timedOutEvent());
  addEvent(row, "expired_event", property->expiredEvent());
  return upsertDataType(row, kTable, "name", property->name(), kMaxConditionalProperties, error);
}

bool MSRDatabase::deleteConditionalUserPropertyWithName(const std::string& name, ns::Error* error) {
  return sqliteStore_ && sqliteStore_->deleteRecordFromTableWithName(kTable, "name", ns::Value(name), error);
}

std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>>
MSRDatabase::timedOutConditionalUserPropertiesWithError(ns::Error* error) {
  return conditionalUserPropertiesWithCondition("active=0 and abs(? - creation_timestamp) > trigger_timeout", {now()},
                                                error);
}

std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>>
MSRDatabase::expiredConditionalUserPropertiesWithError(ns::Error* error) {
  return conditionalUserPropertiesWithCondition("active=1 and abs(? - triggered_timestamp) > time_to_live", {now()},
                                                error);
}

std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>>
MSRDatabase::triggeredConditionalUserPropertiesWithEventName(const std::string& eventName, ns::Error* error) {
  if (eventName.empty()) {
    MSRDatabaseFail(error, 1, "Received nil/empty event name for querying triggered conditional user properties");
    return std::nullopt;
  }
  return conditionalUserPropertiesWithCondition(
      "active=0 and trigger_event_name=? and abs(? - creation_timestamp) <= trigger_timeout", {eventName, now()},
      error);
}

// The origin must be equal and the name must begin with the prefix, both
// exactly: LIKE would let "%" or "_" in either match other rows, and
// would ignore ASCII case.
std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>>
MSRDatabase::conditionalUserPropertiesWithPrefix(const std::string& prefix, const std::string& origin,
                                                 ns::Error* error) {
  std::vector<std::string> conditions;
  ns::Array values;
  if (!origin.empty()) {
    conditions.push_back(ns::format("%s = ?", "origin"));
    values.push_back(origin);
  }
  if (!prefix.empty()) {
    conditions.push_back(ns::format("substr(%s, 1, length(?)) = ?", "name"));
    values.push_back(prefix);
    values.push_back(prefix);
  }
  std::string condition;
  for (const auto& part : conditions) condition += (condition.empty() ? "" : " AND ") + part;
  if (condition.empty()) condition = "1 == 1";
  return conditionalUserPropertiesWithCondition(condition, values, error);
}

std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>>
MSRDatabase::conditionalUserPropertiesWithCondition(const std::string& condition, const ns::Array& parameterValues,
                                                    ns::Error* error) {
  if (condition.empty()) {
    MSRDatabaseFail(error, 1, "Received empty condition for querying a conditional user property");
    return std::nullopt;
  }
  if (!sqliteStore_) return std::nullopt;
  auto rows = sqliteStore_->recordsForQuery(ns::format("SELECT rowid, * FROM %s WHERE %s", kTable, condition),
                                            parameterValues, error);
  return allOrNothing<MSRConditionalUserProperty>(rows, error, conditionalPropertyFromRow);
}
