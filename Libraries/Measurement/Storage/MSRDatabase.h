// The measurement engine's own database: one SQLite file,
// "zorori-app-measurement.sql" in Application Support/Zorori/Measurement,
// with thirteen tables (the schema is MSRDatabaseSchema.cc). All SQL runs
// through its MSRSqliteStore.
//
//   ns::Error error;
//   auto database = MSRDatabase::initWithDatabaseName("zorori-app-measurement.sql", config, &error);
//   database->performTransaction([&] { return database->updateUserAttribute(attribute, &error); });
//
// Opening. Making the database opens the store (a damaged file is replaced
// by the store), ensures every table (adding missing add-on columns,
// giving raw_events.timestamp the type REAL with its rows kept) and makes
// the one app_metadata row (row id 1, bundle index 0, timestamps 0.0). A
// file whose tables cannot be ensured (an unknown NOT NULL column) is
// closed and deleted and the creation fails; the next creation starts on a
// new file. reset: deletes the file and builds it again in place.
//
// Rows. Rows travel as dictionaries from column name to value (strings,
// numbers, data, null) and are read with "rowid" among their columns; each
// table's operations turn them into the row objects (MSRAppMetadata,
// MSRDailyCounts, MSRRawEventData, MSREventAggregates, MSRUserAttribute,
// MSRConditionalUserProperty, MSREventFilter, MSRPropertyFilter,
// MSRFilterResult, MSREvent, and the measurement bundles of the raw events'
// metadata and of the upload queue). Name prefixes are compared exactly
// (case matters, "_" is no wildcard).
//
// Limits come from MSRMeasurement::remoteConfig() (the stored events, the
// queue time, the interval between stale-data deletions), time from
// ns::Date::now().
//
// Errors. Failures answer false, none or null with an error of
// kMSRErrorDomain in the out-parameter (when given): 1 invalid argument,
// 2 unusable stored data or a full table, 3 a missing object or field in a
// conversion; the store's errors (code 3 for SQLite) pass through.
//
// Threading. No lock: every operation runs on the measurement worker queue,
// which serialises them. Only initializeAppMetadata opens a transaction of
// its own, so every other operation may run inside performTransaction
// (which does not nest). Opening and reset check that they run off the main
// thread (monitor message 30001 when not; they go on).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Libraries/Measurement/Core/MSRConditionalUserProperty.h"
#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/MSREventAggregates.h"
#include "Libraries/Measurement/Core/MSRUserAttribute.h"
#include "Libraries/Measurement/Storage/MSRAppMetadata.h"
#include "Libraries/Measurement/Storage/MSRDailyCounts.h"
#include "Libraries/Measurement/Storage/MSREventFilter.h"
#include "Libraries/Measurement/Storage/MSRFilterResult.h"
#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"
#include "Libraries/Measurement/Storage/MSRPropertyFilter.h"
#include "Libraries/Measurement/Storage/MSRRawEventData.h"
#include "Libraries/Measurement/Storage/MSRSqliteStore.h"
#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

// A queued bundle as the upload reads it: the decoded bundle (its
// upload-retry count set from the row) and its row id in the queue.
using MSRQueuedBundle = std::pair<std::shared_ptr<MSRPBMeasurementBundle>, int64_t>;

class MSRDatabase {
 public:
  // Turns one row into a row object; null skips the row.
  template <class T>
  using CreateDataTypeBlock = std::function<std::shared_ptr<T>(const ns::Dictionary& row, ns::Error* error)>;

  // ---- Life cycle

  // Null for an empty name (code 1, no file made) or when the set-up
  // failed (the store's or the set-up's error in the out-parameter).
  static std::shared_ptr<MSRDatabase> initWithDatabaseName(const std::string& name,
                                                           std::shared_ptr<MSRPersistedConfig> persistedConfig,
                                                           ns::Error* error);
  // Opens a new store at the path (replacing the old one), ensures the
  // tables and the metadata row; `context` ("Init", "Reset") names the
  // attempt in the monitor's messages.
  bool initializeDatabaseResourcesWithContext(const std::string& context, const std::string& databasePath,
                                              ns::Error* error);
  bool ensureAllTables();
  bool initializeAppMetadata();
  // Deletes the file and builds it again; false with code 2 when the file
  // could not be deleted.
  bool reset(ns::Error* error);
  // Runs the block in one transaction; a failure is logged (12056) and
  // rolled back.
  bool performTransaction(const std::function<bool()>& block);

  const std::shared_ptr<MSRSqliteStore>& sqliteStore() const { return sqliteStore_; }
  const std::shared_ptr<MSRPersistedConfig>& persistedConfig() const { return persistedConfig_; }

  // ---- Generic rows

  // Every row (at most `tableLimit`, -1 for all) in row-id order; rows the
  // block makes nothing of are skipped.
  template <class T>
  std::optional<std::vector<std::shared_ptr<T>>> allDataTypesFromTableWithName(
      const std::string& tableName, int64_t tableLimit, ns::Error* error, const CreateDataTypeBlock<T>& block);
  // The rows whose column equals the value: an empty list when none
  // matched; none with code 2 when rows matched but the block made nothing.
  template <class T>
  std::optional<std::vector<std::shared_ptr<T>>> dataTypesFromTableWithName(
      const std::string& tableName, const std::string& columnName, const std::optional<ns::Value>& columnValue,
      ns::Error* error, const CreateDataTypeBlock<T>& block);
  bool insertDataType(const ns::Dictionary& row, const std::string& tableName, ns::Error* error);
  // Writes the row when its key exists (replacing it) or the table holds
  // fewer than `tableLimit` rows; else code 2 "Failed to insert data type.
  // Table is full".
  bool upsertDataType(const ns::Dictionary& row, const std::string& tableName, const std::string& columnName,
                      const ns::Value& columnValue, int64_t tableLimit, ns::Error* error);
  // Sets the row's columns on the existing row of that key; code 2 when
  // there is none.
  bool updateDataType(const ns::Dictionary& row, const std::string& tableName, const std::string& columnName,
                      const ns::Value& columnValue, ns::Error* error);

  // ---- App metadata (the bundle sequence of row 1)

  // Null when there is no row (no error) or it could not be read.
  std::shared_ptr<MSRAppMetadata> queryAppMetadata(ns::Error* error);
  bool updateAppMetadata(const std::shared_ptr<MSRAppMetadata>& metadata, ns::Error* error);

  // ---- Daily counts (in the app_metadata row)

  // The counters of row 1; a NULL day reads as today's day number,
  // floor((now - the persisted midnight offset) / 86,400), NULL counters
  // as 0. Null when there is no row.
  std::shared_ptr<MSRDailyCounts> dailyCounts(ns::Error* error);
  bool updateDailyCounts(const std::shared_ptr<MSRDailyCounts>& counts, ns::Error* error);

  // ---- Raw events and their shared metadata
  //
  // The core stores each event in one transaction (its aggregates, the
  // metadata, deleteRawEventsOverAbsoluteLimit, insertRawEvent) and bundles
  // in another: the oldest fingerprint's events (at most 1,000, oldest
  // first), their bundle queued, then deleteRawEventsWithMaxRowID with the
  // batch's last row id. That deletes every row up to the id whatever its
  // fingerprint, which is sound only because the batch starts at the
  // oldest raw event: the rows before its end all belong to it.

  // Stores the encoded metadata under its fingerprint (msr_64LSBMD5) unless
  // that fingerprint is stored; at most 100,000 fingerprints.
  bool insertIfNotExistsRawEventMetadata(const std::shared_ptr<MSRPBMeasurementBundle>& metadata, ns::Error* error);
  // Null when none is stored (no error) or the stored bytes are unusable.
  std::shared_ptr<MSRPBMeasurementBundle> queryRawEventsMetadataWithFingerprint(int64_t fingerprint,
                                                                               ns::Error* error);
  bool deleteRawEventMetadataWithMetadataFingerprint(int64_t fingerprint, ns::Error* error);
  // The metadata no raw event refers to.
  bool deleteUnusedRawEventsMetadata(ns::Error* error);
  // The event's message without its name (kept in the "name" column).
  bool insertRawEvent(const std::shared_ptr<MSREvent>& event, int64_t metadataFingerprint, bool isRealtime,
                      ns::Error* error);
  std::optional<bool> isRawEventsTableEmpty(ns::Error* error);
  // None, without an error, when there are no raw events.
  std::optional<double> queryLatestRawEventTime(ns::Error* error);
  std::optional<bool> containsRealtimeRawEventsWithError(ns::Error* error);
  // The oldest 1,000 events of the fingerprint accepted by the filter (the
  // store's row filter; none takes all), oldest first; unreadable rows are
  // skipped. Empty when no row was read, none when rows were read but none
  // could be.
  std::optional<std::vector<std::shared_ptr<MSRRawEventData>>> rawEventsWithMetadataFingerprint(
      int64_t fingerprint, ns::Error* error, const MSRRecordFilter& eventFilter = {});
  std::optional<bool> containsRawEventWithMetadataFingerprint(int64_t fingerprint, ns::Error* error);
  bool deleteRawEventsWithMaxRowID(int64_t maxRowID, ns::Error* error);
  // Keeps the newest (stored-events limit - 1) raw events, making room for
  // one more; the number deleted.
  std::optional<int64_t> deleteRawEventsOverAbsoluteLimit(ns::Error* error);
  // Deletes the raw events stamped more than `maxAge` seconds from now,
  // before or after (code 1 for a negative age), then unused metadata.
  bool deleteStaleRawEventsDataOlderThanMaxAge(double maxAge, ns::Error* error);
  // The fingerprint of the oldest raw event; none without an error when
  // there are none.
  std::optional<int64_t> nextMetadataFingerprintToProcess(ns::Error* error);
  // One raw_events row (null: no row) as an event; its name from the
  // "name" column, its origin from the parameter "_o".
  std::shared_ptr<MSRRawEventData> rawEventDataFromDictionary(const ns::Dictionary* row, ns::Error* error);

  // ---- Event aggregates (the events table)

  // Event names not beginning with "_".
  std::optional<int64_t> publicEventCount(ns::Error* error);
  // At most 1,000, in row-id order.
  std::optional<std::vector<std::shared_ptr<MSREventAggregates>>> allEventAggregates(ns::Error* error);
  std::shared_ptr<MSREventAggregates> eventAggregatesWithName(const std::string& name, ns::Error* error);
  // Insert or replace by name (at most 1,000 names).
  bool updateEventAggregates(const std::shared_ptr<MSREventAggregates>& aggregates, ns::Error* error);
  bool clearCurrentSessionCounts(ns::Error* error);

  // ---- Upload queue (gzip-compressed encoded bundles, oldest row first)

  // Needs an app id and an end time of at least 1 ms (code 1); first runs
  // maybeDeleteStaleData. A bundle ending outside the queue time is stored
  // with warning 12016.
  bool insertBundle(const std::shared_ptr<MSRPBMeasurementBundle>& bundle, bool isRealtime, ns::Error* error);
  // An upload batch: at most `countLimit` bundles, oldest first; the first
  // readable one always, each later one while the encoded sizes stay within
  // `sizeLimit` bytes, ending at the first that would not. Unreadable rows
  // are skipped (and stay).
  std::optional<std::vector<MSRQueuedBundle>> queryBundlesWithCountLimit(int64_t countLimit, int64_t sizeLimit,
                                                                         ns::Error* error);
  // For the row-id lists: an empty one fails with code 3.
  std::optional<std::vector<MSRQueuedBundle>> queryBundlesWithRowIDs(const std::vector<int64_t>& rowIDs,
                                                                     ns::Error* error);
  bool deleteBundlesWithRowIDs(const std::vector<int64_t>& rowIDs, ns::Error* error);
  // Adds one to each row's retry count, up to 2,147,483,647 (rows there
  // stay, with warning 12054). An empty list fails with code 1.
  bool incrementRetryCounterForBundlesWithIDs(const std::vector<int64_t>& rowIDs, ns::Error* error);
  std::optional<bool> isQueuedBundleTableEmpty(ns::Error* error);
  // None, without an error, when the queue is empty.
  std::optional<double> queryLatestBundleTime(ns::Error* error);
  std::optional<bool> containsRealtimeBundlesWithError(ns::Error* error);

  // ---- Stale data

  // When the last deletion (persisted) lies more than the deletion
  // interval away: deletes raw events and bundles older (or newer) than
  // the queue time and records now. Whether it ran; none on failure.
  std::optional<bool> maybeDeleteStaleData(ns::Error* error);
  // Code 1 for a negative age; whether the delete ran.
  bool deleteStaleBundlesOlderThanMaxAge(double maxAge, ns::Error* error);

  // ---- Stored remote configuration and purchases

  // Stores the configuration with the time now; it must encode to bytes
  // and carry an app id (code 1), else the stored one stays.
  bool updateRemoteConfig(const std::shared_ptr<MSRPBMeasurementConfig>& config, ns::Error* error);
  bool updateRemoteConfigSuccessfulTimestamp(double timestamp, ns::Error* error);
  // Null without error when none is stored; null with code 2 when the
  // stored bytes no longer decode.
  std::shared_ptr<MSRPBMeasurementConfig> queryMeasurementConfigWithError(ns::Error* error);
  // Seconds since 1970; none when never stored or on failure.
  std::optional<double> lastRemoteConfigUpdateTimestamp(ns::Error* error);
  // True when newly recorded, false when known already or empty, none on
  // failure. Only the 1,000 newest fingerprints are kept.
  std::optional<bool> insertIfNotDuplicatePurchaseFingerprint(const std::string& fingerprint, ns::Error* error);
  // Forgets a fingerprint, so the purchase counts as new at its next
  // delivery: for purchases recorded but never reported. Forgetting an
  // unknown one succeeds.
  bool deletePurchaseFingerprint(const std::string& fingerprint, ns::Error* error);
  // As above for subscription ids, which are trimmed only on request.
  std::optional<bool> insertIfNotDuplicateSubscriptionID(const std::string& subscriptionID, ns::Error* error);
  // Keeps the 1,000 newest subscription ids; the number deleted.
  std::optional<int64_t> deleteSubscriptionsOverLimit(ns::Error* error);

  // ---- User properties

  // Names not beginning with "_".
  std::optional<int64_t> publicUserAttributeCount(ns::Error* error);
  std::optional<int64_t> userAttributeCountForOrigin(const std::string& origin, ns::Error* error);
  std::optional<bool> containsUserAttributeWithName(const std::string& name, ns::Error* error);
  std::shared_ptr<MSRUserAttribute> userAttributeWithName(const std::string& name, ns::Error* error);
  // The properties whose name begins with "_ltv_" exactly, most recently
  // set first; none when one cannot be read.
  std::optional<std::vector<std::shared_ptr<MSRUserAttribute>>> allLifetimeValueUserAttributes(ns::Error* error);
  // At most 1,000 in row-id order, unreadable rows skipped. Without the
  // internal ones: no name beginning with "_" or a reserved prefix, and no
  // reserved public name (MSRUserPropertyNameMap).
  std::optional<std::vector<std::shared_ptr<MSRUserAttribute>>> userAttributesIncludingInternal(
      bool includeInternal, ns::Error* error);
  // Insert or replace by name (at most 1,000 names); an empty string value
  // is refused.
  bool updateUserAttribute(const std::shared_ptr<MSRUserAttribute>& attribute, ns::Error* error);
  bool deleteUserAttributeWithName(const std::string& name, ns::Error* error);

  // ---- Conditional user properties ("now" is ns::Date::now())

  std::shared_ptr<MSRConditionalUserProperty> conditionalUserPropertyWithName(const std::string& name,
                                                                             ns::Error* error);
  // Insert or replace by name (at most 1,000 names).
  bool updateConditionalUserProperty(const std::shared_ptr<MSRConditionalUserProperty>& property, ns::Error* error);
  bool deleteConditionalUserPropertyWithName(const std::string& name, ns::Error* error);
  // Inactive ones created longer ago than their trigger time-out.
  std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>> timedOutConditionalUserPropertiesWithError(
      ns::Error* error);
  // Active ones triggered longer ago than their time to live.
  std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>> expiredConditionalUserPropertiesWithError(
      ns::Error* error);
  // Inactive ones waiting for this event and still within their time-out.
  std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>>
  triggeredConditionalUserPropertiesWithEventName(const std::string& eventName, ns::Error* error);
  // Those whose name begins with the prefix and whose origin is the origin
  // (exactly; an empty one matches all).
  std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>> conditionalUserPropertiesWithPrefix(
      const std::string& prefix, const std::string& origin, ns::Error* error);
  // Rows matching an SQL condition over conditional_properties with "?"
  // bound to the values; none when one row cannot be read.
  std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>> conditionalUserPropertiesWithCondition(
      const std::string& condition, const ns::Array& parameterValues, ns::Error* error);

  // ---- Audiences

  std::optional<std::vector<std::shared_ptr<MSREventFilter>>> eventFiltersForEventName(const std::string& eventName,
                                                                                      ns::Error* error);
  std::optional<std::vector<std::shared_ptr<MSRPropertyFilter>>> propertyFiltersForPropertyName(
      const std::string& propertyName, ns::Error* error);
  // One insert-or-replace per filter, stopping at the first failure.
  bool updateEventFilters(const std::vector<std::shared_ptr<MSREventFilter>>& filters, ns::Error* error);
  bool updatePropertyFilters(const std::vector<std::shared_ptr<MSRPropertyFilter>>& filters, ns::Error* error);
  bool deleteEventFilters(const std::vector<std::shared_ptr<MSREventFilter>>& filters, ns::Error* error);
  bool deletePropertyFilters(const std::vector<std::shared_ptr<MSRPropertyFilter>>& filters, ns::Error* error);
  bool deleteAllEventFilters(ns::Error* error);
  bool deleteAllPropertyFilters(ns::Error* error);
  // The audiences that have an event or a property filter.
  std::optional<std::vector<int32_t>> allAudienceIDs(ns::Error* error);
  // Audience id to its session-scoped filter ids, in the union's row order.
  std::optional<std::map<int32_t, std::vector<int32_t>>> allSessionScopedFilters(ns::Error* error);
  std::shared_ptr<MSRFilterResult> filterResultForAudienceID(int32_t audienceID, ns::Error* error);
  std::optional<std::map<int32_t, std::shared_ptr<MSRFilterResult>>> allFilterResults(ns::Error* error);
  // Empty previous results are stored as NULL.
  bool updateFilterResults(const std::vector<std::shared_ptr<MSRFilterResult>>& results, ns::Error* error);
  // One delete of the results' audiences.
  bool deleteFilterResults(const std::vector<std::shared_ptr<MSRFilterResult>>& results, ns::Error* error);

  // ---- Complex events (a main event kept while its children are counted)

  bool updateComplexEventForAudienceEvaluationWithEventID(int64_t eventID, int64_t childEventCount,
                                                          const std::shared_ptr<MSREvent>& mainEvent,
                                                          ns::Error* error);
  // The main event and its children count; none when there is no row.
  std::optional<std::pair<std::shared_ptr<MSREvent>, int64_t>> mainEventAndChildCountPairWithEventID(
      int64_t eventID, ns::Error* error);
  bool deleteComplexEventForAudienceEvaluationWithEventID(int64_t eventID, ns::Error* error);

 private:
  MSRDatabase() = default;

  // The selected rows of the generic reads, none on failure.
  std::optional<std::vector<ns::Dictionary>> allRowsFromTableWithName(const std::string& tableName,
                                                                       int64_t tableLimit, ns::Error* error,
                                                                       bool hasBlock);
  std::optional<std::vector<ns::Dictionary>> rowsFromTableWithName(const std::string& tableName,
                                                                    const std::string& columnName,
                                                                    const std::optional<ns::Value>& columnValue,
                                                                    ns::Error* error, bool hasBlock);
  // The rows a query selects, each made into an object by the block; none
  // when the query fails or the block makes nothing of a row.
  template <class T>
  std::optional<std::vector<std::shared_ptr<T>>> allOrNothing(const std::optional<std::vector<ns::Dictionary>>& rows,
                                                              ns::Error* error, const CreateDataTypeBlock<T>& block);

  std::shared_ptr<MSRSqliteStore> sqliteStore_;
  std::shared_ptr<MSRPersistedConfig> persistedConfig_;
};

// Sets the code and description on the out-parameter (when given); false.
bool MSRDatabaseFail(ns::Error* error, int64_t code, const char* description);
// The truth of a numeric query's answer; none when the query failed.
std::optional<bool> MSRDatabaseBoolean(const std::optional<ns::Value>& number);

template <class T>
std::optional<std::vector<std::shared_ptr<T>>> MSRDatabase::allDataTypesFromTableWithName(
    const std::string& tableName, int64_t tableLimit, ns::Error* error, const CreateDataTypeBlock<T>& block) {
  auto rows = allRowsFromTableWithName(tableName, tableLimit, error, static_cast<bool>(block));
  if (!rows) return std::nullopt;
  std::vector<std::shared_ptr<T>> out;
  for (const auto& row : *rows) {
    if (auto object = block(row, error)) out.push_back(std::move(object));
  }
  return out;
}

template <class T>
std::optional<std::vector<std::shared_ptr<T>>> MSRDatabase::dataTypesFromTableWithName(
    const std::string& tableName, const std::string& columnName, const std::optional<ns::Value>& columnValue,
    ns::Error* error, const CreateDataTypeBlock<T>& block) {
  auto rows = rowsFromTableWithName(tableName, columnName, columnValue, error, static_cast<bool>(block));
  if (!rows) return std::nullopt;
  std::vector<std::shared_ptr<T>> out;
  for (const auto& row : *rows) {
    if (auto object = block(row, error)) out.push_back(std::move(object));
  }
  if (!rows->empty() && out.empty()) {
    MSRDatabaseFail(error, 2, "Failed to initialize data types from dictionaries");
    return std::nullopt;
  }
  return out;
}

template <class T>
std::optional<std::vector<std::shared_ptr<T>>> MSRDatabase::allOrNothing(
    const std::optional<std::vector<ns::Dictionary>>& rows, ns::Error* error, const CreateDataTypeBlock<T>& block) {
  if (!rows) return std::nullopt;
  std::vector<std::shared_ptr<T>> out;
  for (const auto& row : *rows) {
    auto object = block(row, error);
    if (!object) return std::nullopt;
    out.push_back(std::move(object));
  }
  return out;
}
