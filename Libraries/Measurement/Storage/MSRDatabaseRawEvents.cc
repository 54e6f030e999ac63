// Raw events (raw_events) and the bundle metadata they share
// (raw_events_metadata), stored once per fingerprint.
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Date.h"

namespace {

constexpr const char* kRawEventsTable = "raw_events";
constexpr const char* kMetadataTable = "raw_events_metadata";
constexpr int64_t kMaxMetadataRows = 100000;
constexpr int64_t kRawEventsPerRead = 1000;
constexpr const char* kOriginParameter = "_o";

// Field indexes of the messages.
constexpr int32_t kEventParams = 0, kEventName = 1, kEventPreviousTimestamp = 3;
constexpr int32_t kParamName = 0, kParamString = 1, kParamInt = 2, kParamDouble = 4, kParamValues = 5;

std::vector<std::shared_ptr<MSRPBEventParam>> nestedParams(const MSRPBEventParam& param) {
  std::vector<std::shared_ptr<MSRPBEventParam>> out;
  for (const auto& element : MSRPBMessageGetArray<MSRPBEventParam>(&param, kParamValues).value_or(MSRPBArray{})) {
    if (auto nested = MSRPBArrayElementMessage<MSRPBEventParam>(element)) out.push_back(std::move(nested));
  }
  return out;
}

// The scalar value a parameter holds: a string before an integer before a
// double; none when it holds none of them.
std::optional<MSRValue> scalarValue(const MSRPBEventParam& param) {
  if (MSRPBMessageHasField(&param, kParamString)) {
    return MSRValue::initWithString(MSRPBMessageGetString(&param, kParamString).value_or(""));
  }
  if (MSRPBMessageHasField(&param, kParamInt)) return MSRValue::initWithInt64(MSRPBMessageGetInt64(&param, kParamInt));
  if (MSRPBMessageHasField(&param, kParamDouble)) {
    return MSRValue::initWithDouble(MSRPBMessageGetDouble(&param, kParamDouble));
  }
  return std::nullopt;
}

// One item of an array parameter: its named scalar children merged into a
// map (a child without a name or a scalar cannot be held and is left out).
MSRValueMap itemFromParam(const MSRPBEventParam& item) {
  MSRValueMap map;
  for (const auto& child : nestedParams(item)) {
    std::optional<std::string> name = MSRPBMessageGetString(child.get(), kParamName);
    std::optional<MSRValue> value = scalarValue(*child);
    if (name && !name->empty() && value) map.insert_or_assign(*name, *value);
  }
  return map;
}

// A top-level parameter's value: its scalar, or else an array of its items.
std::optional<MSRValue> valueFromParam(const MSRPBEventParam* param, ns::Error* error) {
  if (!param) {
    MSRDatabaseFail(error, 1, "Failed to parse empty event params data");
    return std::nullopt;
  }
  if (MSRPBMessageGetString(param, kParamName).value_or("").empty()) {
    MSRDatabaseFail(error, 1, "Event parameter name is empty");
    return std::nullopt;
  }
  if (auto scalar = scalarValue(*param)) return scalar;
  std::vector<MSRValueMap> items;
  for (const auto& item : nestedParams(*param)) items.push_back(itemFromParam(*item));
  return MSRValue::initWithArray(std::move(items));
}

std::shared_ptr<MSRPBMeasurementBundle> metadataFromRow(const ns::Dictionary& row, ns::Error* error) {
  const ns::Value* stored = row.find("metadata");
  const ns::Data* data = stored ? stored->asData() : nullptr;
  if (!data || data->empty()) {
    MSRDatabaseFail(error, 3, "Event metadata should not be empty for getting measurement bundle");
    return nullptr;
  }
  return MSRPBMeasurementBundle::initWithBuffer(*data);
}

}  // namespace

bool MSRDatabase::insertIfNotExistsRawEventMetadata(const std::shared_ptr<MSRPBMeasurementBundle>& metadata,
                                                     ns::Error* error) {
  ns::Data encoded = metadata ? metadata->protoBuffer().value_or(ns::Data{}) : ns::Data{};
  int64_t fingerprint = msr_64LSBMD5(encoded);
  // A failed look-up counts as not found: the upsert below replaces.
  ns::Error lookupError;
  if (queryRawEventsMetadataWithFingerprint(fingerprint, &lookupError)) return true;
  if (encoded.empty()) {
    return MSRDatabaseFail(error, 3, "Received empty measurement bundle metadata for getting dictionary representation");
  }
  ns::Dictionary row{{"metadata_fingerprint", fingerprint}, {"metadata", std::move(encoded)}};
  return upsertDataType(row, kMetadataTable, "metadata_fingerprint", fingerprint, kMaxMetadataRows, error);
}

std::shared_ptr<MSRPBMeasurementBundle> MSRDatabase::queryRawEventsMetadataWithFingerprint(int64_t fingerprint,
                                                                                          ns::Error* error) {
  auto rows = dataTypesFromTableWithName<MSRPBMeasurementBundle>(kMetadataTable, "metadata_fingerprint",
                                                                 ns::Value(fingerprint), error, metadataFromRow);
  return rows && !rows->empty() ? rows->front() : nullptr;
}

bool MSRDatabase::deleteRawEventMetadataWithMetadataFingerprint(int64_t fingerprint, ns::Error* error) {
  return sqliteStore_ &&
         sqliteStore_->deleteRecordsFromTableWithName(kMetadataTable, "metadata_fingerprint == ?", {fingerprint}, error);
}

bool MSRDatabase::deleteUnusedRawEventsMetadata(ns::Error* error) {
  return sqliteStore_ &&
         sqliteStore_->deleteRecordsFromTableWithName(
             kMetadataTable, "metadata_fingerprint NOT IN (SELECT DISTINCT metadata_fingerprint FROM raw_events)", {},
             error);
}

bool MSRDatabase::insertRawEvent(const std::shared_ptr<MSREvent>& event, int64_t metadataFingerprint, bool isRealtime,
                                 ns::Error* error) {
  if (!event) return MSRDatabaseFail(error, 1, "Received empty event for inserting in the database");
  if (!MSRRawEventData::initWithRawEvent(event, 0, metadataFingerprint)) {
    return MSRDatabaseFail(error, 3, "Received empty raw event data for getting dictionary representation");
  }
  // protoEvent makes a new message, so clearing its name leaves the event
  // as it was.
  auto message = event->protoEvent();
  MSRPBMessageClearField(message.get(), kEventName);
  ns::Dictionary row{{"name", event->name()},
                     {"timestamp", event->timestamp()},
                     {"metadata_fingerprint", metadataFingerprint},
                     {"data", message->protoBuffer().value_or(ns::Data{})},
                     {"is_realtime", isRealtime}};
  return insertDataType(row, kRawEventsTable, error);
}

std::optional<bool> MSRDatabase::isRawEventsTableEmpty(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  return MSRDatabaseBoolean(sqliteStore_->numberForQuery("SELECT NOT EXISTS (SELECT 1 FROM raw_events LIMIT 1)", {}, error));
}

std::optional<double> MSRDatabase::queryLatestRawEventTime(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto latest = sqliteStore_->numberForQuery("SELECT MAX(timestamp) FROM raw_events", {}, error);
  if (!latest) return std::nullopt;
  return latest->doubleValue();
}

std::optional<bool> MSRDatabase::containsRealtimeRawEventsWithError(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  return MSRDatabaseBoolean(
      sqliteStore_->numberForQuery("SELECT EXISTS (SELECT 1 FROM raw_events WHERE is_realtime = 1 LIMIT 1)", {}, error));
}

std::optional<std::vector<std::shared_ptr<MSRRawEventData>>> MSRDatabase::rawEventsWithMetadataFingerprint(
    int64_t fingerprint, ns::Error* error, const MSRRecordFilter& eventFilter) {
  if (!sqliteStore_) return std::nullopt;
  const char* query = "SELECT rowid, * FROM raw_events WHERE metadata_fingerprint = ? ORDER BY rowid ASC LIMIT ?";
  ns::Array values{fingerprint, kRawEventsPerRead};
  auto rows = eventFilter ? sqliteStore_->recordsForQuery(query, values, error, eventFilter)
                          : sqliteStore_->recordsForQuery(query, values, error);
  if (!rows) return std::nullopt;
  std::vector<std::shared_ptr<MSRRawEventData>> events;
  for (const auto& row : *rows) {
    if (auto event = rawEventDataFromDictionary(&row, error)) events.push_back(std::move(event));
  }
  if (!rows->empty() && events.empty()) return std::nullopt;
  return events;
}

std::optional<bool> MSRDatabase::containsRawEventWithMetadataFingerprint(int64_t fingerprint, ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  return MSRDatabaseBoolean(sqliteStore_->numberForQuery(
      "SELECT EXISTS (SELECT 1 FROM raw_events WHERE metadata_fingerprint = ? LIMIT 1)", {fingerprint}, error));
}

bool MSRDatabase::deleteRawEventsWithMaxRowID(int64_t maxRowID, ns::Error* error) {
  return sqliteStore_ && sqliteStore_->deleteRecordsFromTableWithName(kRawEventsTable, "rowid <= ?", {maxRowID}, error);
}

std::optional<int64_t> MSRDatabase::deleteRawEventsOverAbsoluteLimit(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  int64_t keep = static_cast<int64_t>(MSRMeasurement::remoteConfig()->maxEventsStored()) - 1;
  return sqliteStore_->deleteRecordsFromTableWithName(
      kRawEventsTable, "rowid IN (SELECT rowid FROM raw_events ORDER BY rowid DESC LIMIT -1 OFFSET ?)", {keep}, error);
}

bool MSRDatabase::deleteStaleRawEventsDataOlderThanMaxAge(double maxAge, ns::Error* error) {
  if (maxAge < 0) return MSRDatabaseFail(error, 1, "Cannot delete stale raw events given negative time period");
  if (!sqliteStore_) return false;
  auto deleted = sqliteStore_->deleteRecordsFromTableWithName(
      kRawEventsTable, "abs(timestamp - cast(? as REAL)) > cast(? as REAL)",
      {ns::Date::now().timeIntervalSince1970(), maxAge}, error);
  if (!deleted) return false;
  return *deleted == 0 || deleteUnusedRawEventsMetadata(error);
}

std::optional<int64_t> MSRDatabase::nextMetadataFingerprintToProcess(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto rows = sqliteStore_->recordsForQuery("SELECT metadata_fingerprint, MIN(rowid) FROM raw_events", {}, error);
  if (!rows) return std::nullopt;
  if (rows->size() != 1) {
    MSRDatabaseFail(error, 2, "Only one event metadata should be processed");
    return std::nullopt;
  }
  const ns::Value* fingerprint = rows->front().find("metadata_fingerprint");
  if (!fingerprint || !fingerprint->isNumber()) return std::nullopt;
  return fingerprint->integerValue();
}

std::shared_ptr<MSRRawEventData> MSRDatabase::rawEventDataFromDictionary(const ns::Dictionary* row,
                                                                         ns::Error* error) {
  if (!row) {
    MSRDatabaseFail(error, 1, "Received empty dictionary for getting raw event data");
    return nullptr;
  }
  auto present = [row](const char* column) {
    const ns::Value* value = row->find(column);
    return value && !value->isNull() ? value : nullptr;
  };
  const ns::Value* rowID = present("rowid");
  if (!rowID) {
    MSRDatabaseFail(error, 1, "Unable to find row ID in the database dictionary");
    return nullptr;
  }
  const ns::Value* data = present("data");
  if (!data) {
    MSRDatabaseFail(error, 1, "Unable to find event data in the database dictionary");
    return nullptr;
  }
  const ns::Value* fingerprint = present("metadata_fingerprint");
  if (!fingerprint) {
    MSRDatabaseFail(error, 1, "Unable to find event metadata in the database dictionary");
    return nullptr;
  }
  auto message = data->asData() ? MSRPBEvent::initWithBuffer(*data->asData()) : nullptr;
  if (!message) {
    MSRDatabaseFail(error, 3, "Failed to parse event from data");
    return nullptr;
  }
  const ns::Value* name = present("name");
  const ns::Value* timestamp = present("timestamp");
  double previousTimestamp = MSRPBMessageGetInt64(message.get(), kEventPreviousTimestamp) / 1000.0;

  std::string origin;
  MSRValueMap parameters;
  for (const auto& element : MSRPBMessageGetArray<MSRPBEventParam>(message.get(), kEventParams).value_or(MSRPBArray{})) {
    auto param = MSRPBArrayElementMessage<MSRPBEventParam>(element);
    std::optional<std::string> paramName = param ? MSRPBMessageGetString(param.get(), kParamName) : std::nullopt;
    if (paramName == kOriginParameter) {
      if (!MSRPBMessageHasField(param.get(), kParamString)) {
        MSRDatabaseFail(error, 2, "Cannot create an event from database. Origin parameter is not a string");
        return nullptr;
      }
      origin = MSRPBMessageGetString(param.get(), kParamString).value_or("");
      continue;
    }
    ns::Error paramError;
    std::optional<MSRValue> value = valueFromParam(param.get(), &paramError);
    if (!value) {
      MSRDatabaseFail(error, 2, "Failed to parse event params from data");
      return nullptr;
    }
    parameters.insert_or_assign(*paramName, *value);
  }
  if (origin.empty()) {
    MSRDatabaseFail(error, 2, "Cannot create an event from database. Missing origin parameter");
    return nullptr;
  }
  auto event = MSREvent::initWithOrigin(origin, false, name && name->isString() ? name->stringValue() : std::string(),
                                        timestamp ? timestamp->doubleValue() : 0.0, previousTimestamp, parameters);
  auto rawEvent = MSRRawEventData::initWithRawEvent(event, rowID->integerValue(), fingerprint->integerValue());
  if (!rawEvent) MSRDatabaseFail(error, 2, "Failed to initialize raw event data from dictionary");
  return rawEvent;
}
