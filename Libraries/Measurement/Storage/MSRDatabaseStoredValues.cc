#include "Libraries/Measurement/Storage/MSRDatabaseStoredValues.h"

#include "Libraries/Measurement/Storage/MSRDatabase.h"

ns::Value MSRStoredValueFromValue(const MSRValue& value) {
  if (value.isString()) return *value.stringValue();
  if (value.isDouble()) return value.doubleValue();
  return value.int64Value();
}

std::optional<ns::Data> MSRStoredEventData(const MSREvent& event) { return event.protoEvent()->protoBuffer(); }

std::shared_ptr<MSREvent> MSREventFromStoredColumn(const ns::Value& column, ns::Error* error) {
  const ns::Data* data = column.asData();
  if (!data) {
    MSRDatabaseFail(error, 2, "Failed to convert data to an event. Data must be a NSData instance");
    return nullptr;
  }
  auto message = MSRPBEvent::initWithBuffer(*data);
  if (!message) {
    MSRDatabaseFail(error, 2, "Failed to parse event from data");
    return nullptr;
  }
  auto event = MSREvent::initWithEventProto(*message);
  if (!event) MSRDatabaseFail(error, 2, "Failed to initialize event from proto data");
  return event;
}
