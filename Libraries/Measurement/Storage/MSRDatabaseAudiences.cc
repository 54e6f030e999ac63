// Audience definitions and results: event_filters, property_filters,
// audience_filter_values; and main_event_params, which keeps the main
// event of a complex event while its children are counted.
#include <set>

#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/Measurement/Storage/MSRDatabaseStoredValues.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Format.h"

namespace {

constexpr const char* kEventFilters = "event_filters";
constexpr const char* kPropertyFilters = "property_filters";
constexpr const char* kFilterValues = "audience_filter_values";
constexpr const char* kMainEvents = "main_event_params";

// What tells the two filter tables apart: the table, the name column, the
// filter message's flag fields and the words of their errors.
struct FilterKind {
  const char* table;
  const char* nameColumn;
  int32_t dynamicField, sequenceField, sessionScopedField;
  const char* emptyNameToRead;
  const char* emptyToUpdate;
  const char* unknownToUpdate;
  const char* missing;
  const char* emptyName;
  const char* emptyData;
  const char* emptyToDelete;
  const char* unknownToDelete;
};

constexpr FilterKind kEventFilterKind{
    kEventFilters,
    "event_name",
    5,
    6,
    7,
    "Received empty event name for getting event filters",
    "Received empty event filters to update",
    "Received unknown data type to update event filter",
    "Received empty event filter for getting dictionary representation",
    "Received event filter with empty event name for getting dictionary representation",
    "Received event filter with empty data for getting dictionary representation",
    "Received empty event filters to delete",
    "Received unknown type to delete event filter",
};

constexpr FilterKind kPropertyFilterKind{
    kPropertyFilters,
    "property_name",
    3,
    4,
    5,
    "Received empty property name for getting property filters",
    "Received empty property filters to update",
    "Received unknown data type to update property filter",
    "Received empty property filter for getting dictionary representation",
    "Received property filter with empty property name for getting dictionary representation",
    "Received property filter with empty data for getting dictionary representation",
    "Received empty property filters to delete",
    "Received unknown type to delete property filter",
};

int32_t int32Of(const ns::Dictionary& row, const char* column) {
  const ns::Value* value = row.find(column);
  return value ? static_cast<int32_t>(value->integerValue()) : 0;
}

// A filter row: its flags come from the stored message, all false when it
// no longer decodes (the filter is still made, with the raw data).
template <class Filter, class Message>
std::shared_ptr<Filter> filterFromRow(const FilterKind& kind, const ns::Dictionary& row) {
  const ns::Value* stored = row.find("data");
  ns::Data data = stored && stored->asData() ? *stored->asData() : ns::Data();
  bool sessionScoped = false, dynamic = false, sequence = false;
  if (auto message = Message::initWithBuffer(data)) {
    dynamic = MSRPBMessageGetBool(message.get(), kind.dynamicField);
    sequence = MSRPBMessageGetBool(message.get(), kind.sequenceField);
    sessionScoped = MSRPBMessageGetBool(message.get(), kind.sessionScopedField);
  }
  const ns::Value* name = row.find(kind.nameColumn);
  return Filter::initWithAudienceID(int32Of(row, "audience_id"), int32Of(row, "filter_id"),
                                    name ? name->stringValue() : std::string(), std::move(data), sessionScoped,
                                    dynamic, sequence);
}

std::string filterName(const MSREventFilter& filter) { return filter.eventName(); }
std::string filterName(const MSRPropertyFilter& filter) { return filter.propertyName(); }

template <class Filter>
bool updateFilters(MSRSqliteStore* store, const FilterKind& kind, const std::vector<std::shared_ptr<Filter>>& filters,
                   ns::Error* error) {
  if (filters.empty()) return MSRDatabaseFail(error, 1, kind.emptyToUpdate);
  if (!store) return false;
  for (const auto& filter : filters) {
    if (!filter) return MSRDatabaseFail(error, 3, kind.missing);
    std::string name = filterName(*filter);
    if (name.empty()) return MSRDatabaseFail(error, 3, kind.emptyName);
    if (filter->data().empty()) return MSRDatabaseFail(error, 3, kind.emptyData);
    ns::Dictionary row{{"audience_id", filter->audienceID()},
                       {"filter_id", filter->filterID()},
                       {kind.nameColumn, name},
                       {"data", filter->data()},
                       {"session_scoped", filter->isSessionScoped()}};
    if (!store->upsertRecord(row, kind.table, error)) return false;
  }
  return true;
}

template <class Filter>
bool deleteFilters(MSRSqliteStore* store, const FilterKind& kind, const std::vector<std::shared_ptr<Filter>>& filters,
                   ns::Error* error) {
  if (filters.empty()) return MSRDatabaseFail(error, 1, kind.emptyToDelete);
  std::string condition;
  for (const auto& filter : filters) {
    if (!filter) return MSRDatabaseFail(error, 1, kind.unknownToDelete);
    condition += ns::format("%s(audience_id=%d AND filter_id=%d)", condition.empty() ? "" : " OR ",
                            filter->audienceID(), filter->filterID());
  }
  return store && store->deleteRecordsFromTableWithName(kind.table, condition, {}, error).has_value();
}

std::shared_ptr<MSRFilterResult> filterResultFromRow(const ns::Dictionary& row, ns::Error*) {
  auto dataOf = [&row](const char* column) -> std::optional<ns::Data> {
    const ns::Value* value = row.find(column);
    if (!value || !value->asData()) return std::nullopt;
    return *value->asData();
  };
  return MSRFilterResult::initWithAudienceID(int32Of(row, "audience_id"), dataOf("current_results"),
                                             dataOf("previous_results"));
}

template <class Filter, class Message>
std::optional<std::vector<std::shared_ptr<Filter>>> filtersForName(MSRDatabase& database, const FilterKind& kind,
                                                                   const std::string& name, ns::Error* error) {
  if (name.empty()) {
    MSRDatabaseFail(error, 1, kind.emptyNameToRead);
    return std::nullopt;
  }
  return database.dataTypesFromTableWithName<Filter>(
      kind.table, kind.nameColumn, ns::Value(name), error,
      [&kind](const ns::Dictionary& row, ns::Error*) { return filterFromRow<Filter, Message>(kind, row); });
}

}  // namespace

std::optional<std::vector<std::shared_ptr<MSREventFilter>>> MSRDatabase::eventFiltersForEventName(
    const std::string& eventName, ns::Error* error) {
  return filtersForName<MSREventFilter, MSRPBEventFilter>(*this, kEventFilterKind, eventName, error);
}

std::optional<std::vector<std::shared_ptr<MSRPropertyFilter>>> MSRDatabase::propertyFiltersForPropertyName(
    const std::string& propertyName, ns::Error* error) {
  return filtersForName<MSRPropertyFilter, MSRPBPropertyFilter>(*this, kPropertyFilterKind, propertyName, error);
}

bool MSRDatabase::updateEventFilters(const std::vector<std::shared_ptr<MSREventFilter>>& filters, ns::Error* error) {
  return updateFilters(sqliteStore_.get(), kEventFilterKind, filters, error);
}

bool MSRDatabase::updatePropertyFilters(const std::vector<std::shared_ptr<MSRPropertyFilter>>& filters,
                                        ns::Error* error) {
  return updateFilters(sqliteStore_.get(), kPropertyFilterKind, filters, error);
}

bool MSRDatabase::deleteEventFilters(const std::vector<std::shared_ptr<MSREventFilter>>& filters, ns::Error* error) {
  return deleteFilters(sqliteStore_.get(), kEventFilterKind, filters, error);
}

bool MSRDatabase::deletePropertyFilters(const std::vector<std::shared_ptr<MSRPropertyFilter>>& filters,
                                        ns::Error* error) {
  return deleteFilters(sqliteStore_.get(), kPropertyFilterKind, filters, error);
}

bool MSRDatabase::deleteAllEventFilters(ns::Error* error) {
  return sqliteStore_ && sqliteStore_->deleteAllRecordsFromTableWithName(kEventFilters, error);
}

bool MSRDatabase::deleteAllPropertyFilters(ns::Error* error) {
  return sqliteStore_ && sqliteStore_->deleteAllRecordsFromTableWithName(kPropertyFilters, error);
}

std::optional<std::vector<int32_t>> MSRDatabase::allAudienceIDs(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto rows = sqliteStore_->recordsForQuery(
      "SELECT audience_id FROM event_filters UNION SELECT audience_id FROM property_filters", {}, error);
  if (!rows) return std::nullopt;
  std::vector<int32_t> ids;
  for (const auto& row : *rows) {
    const ns::Value* id = row.find("audience_id");
    if (!id || !id->isNumber()) {
      MSRDatabaseFail(error, 1, "Received nil audience ID for querying all audience IDs");
      return std::nullopt;
    }
    ids.push_back(static_cast<int32_t>(id->integerValue()));
  }
  return ids;
}

std::optional<std::map<int32_t, std::vector<int32_t>>> MSRDatabase::allSessionScopedFilters(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto rows = sqliteStore_->recordsForQuery(
      "SELECT audience_id, filter_id FROM event_filters WHERE session_scoped = 1 UNION SELECT audience_id, filter_id "
      "FROM property_filters WHERE session_scoped = 1",
      {}, error);
  if (!rows) return std::nullopt;
  std::map<int32_t, std::vector<int32_t>> filters;
  for (const auto& row : *rows) filters[int32Of(row, "audience_id")].push_back(int32Of(row, "filter_id"));
  return filters;
}

std::shared_ptr<MSRFilterResult> MSRDatabase::filterResultForAudienceID(int32_t audienceID, ns::Error* error) {
  auto rows = dataTypesFromTableWithName<MSRFilterResult>(kFilterValues, "audience_id", ns::Value(audienceID), error,
                                                          filterResultFromRow);
  return rows && !rows->empty() ? rows->front() : nullptr;
}

std::optional<std::map<int32_t, std::shared_ptr<MSRFilterResult>>> MSRDatabase::allFilterResults(ns::Error* error) {
  auto all = allDataTypesFromTableWithName<MSRFilterResult>(kFilterValues, -1, error, filterResultFromRow);
  if (!all) return std::nullopt;
  std::map<int32_t, std::shared_ptr<MSRFilterResult>> results;
  for (auto& result : *all) results[result->audienceID()] = result;
  return results;
}

bool MSRDatabase::updateFilterResults(const std::vector<std::shared_ptr<MSRFilterResult>>& results,
                                      ns::Error* error) {
  if (results.empty()) return MSRDatabaseFail(error, 1, "Received empty filter results to update");
  if (!sqliteStore_) return false;
  for (const auto& result : results) {
    if (!result) return MSRDatabaseFail(error, 3, "Received empty filter result for getting dictionary representation");
    if (!result->currentResults() || result->currentResults()->empty()) {
      return MSRDatabaseFail(error, 3, "Received filter result with empty data for getting dictionary representation");
    }
    const auto& previous = result->previousResults();
    ns::Dictionary row{{"audience_id", result->audienceID()},
                       {"current_results", *result->currentResults()},
                       {"previous_results", previous && !previous->empty() ? ns::Value(*previous) : ns::Value()}};
    if (!sqliteStore_->upsertRecord(row, kFilterValues, error)) return false;
  }
  return true;
}

bool MSRDatabase::deleteFilterResults(const std::vector<std::shared_ptr<MSRFilterResult>>& results,
                                      ns::Error* error) {
  if (results.empty()) return MSRDatabaseFail(error, 1, "Received empty filter results to delete");
  std::set<int32_t> audiences;
  for (const auto& result : results) {
    if (!result) return MSRDatabaseFail(error, 1, "Received unknown type to delete filter result");
    audiences.insert(result->audienceID());
  }
  std::string ids;
  for (int32_t id : audiences) ids += (ids.empty() ? "" : ",") + std::to_string(id);
  return sqliteStore_ &&
         sqliteStore_->deleteRecordsFromTableWithName(kFilterValues, ns::format("%s IN (%s)", "audience_id", ids), {},
                                                      error)
             .has_value();
}

bool MSRDatabase::updateComplexEventForAudienceEvaluationWithEventID(int64_t eventID, int64_t childEventCount,
                                                                     const std::shared_ptr<MSREvent>& mainEvent,
                                                                     ns::Error* error) {
  if (!mainEvent) return MSRDatabaseFail(error, 1, "Received nil main event");
  std::optional<ns::Data> data = MSRStoredEventData(*mainEvent);
  if (!data || data->empty()) return MSRDatabaseFail(error, 1, "Cannot create the main event blob");
  if (!sqliteStore_) return false;
  ns::Dictionary row{{"main_event", std::move(*data)}, {"event_id", eventID}, {"children_to_process", childEventCount}};
  return sqliteStore_->upsertRecord(row, kMainEvents, error);
}

std::optional<std::pair<std::shared_ptr<MSREvent>, int64_t>> MSRDatabase::mainEventAndChildCountPairWithEventID(
    int64_t eventID, ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto rows = sqliteStore_->recordsForQuery(ns::format("SELECT * FROM %s WHERE event_id=? LIMIT 1", kMainEvents),
                                            {eventID}, error);
  if (!rows || rows->empty()) return std::nullopt;
  const ns::Dictionary& row = rows->front();
  const ns::Value* stored = row.find("main_event");
  std::shared_ptr<MSREvent> event = stored ? MSREventFromStoredColumn(*stored, nullptr) : nullptr;
  if (!event) {
    MSRDatabaseFail(error, 3, "Main event blob is nil in database");
    return std::nullopt;
  }
  const ns::Value* children = row.find("children_to_process");
  if (!children || !children->isNumber()) {
    MSRDatabaseFail(error, 3, "Complex event does not have children count in database");
    return std::nullopt;
  }
  return std::make_pair(std::move(event), children->integerValue());
}

bool MSRDatabase::deleteComplexEventForAudienceEvaluationWithEventID(int64_t eventID, ns::Error* error) {
  return sqliteStore_ && sqliteStore_->deleteRecordsFromTableWithName(kMainEvents, "event_id=?", {eventID}, error).has_value();
}
