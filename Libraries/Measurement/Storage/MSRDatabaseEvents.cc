// The per-name aggregates (the events table) and the daily counters (in the
// one app_metadata row).
#include <cmath>

#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Platform/Foundation/Date.h"

namespace {

constexpr const char* kEventsTable = "events";
constexpr const char* kAppMetadataTable = "app_metadata";
constexpr int64_t kMaxEventNames = 1000;
constexpr double kSecondsPerDay = 86400;

const ns::Value* numberIn(const ns::Dictionary& row, const char* column) {
  const ns::Value* value = row.find(column);
  return value && value->isNumber() ? value : nullptr;
}

int32_t int32Or(const ns::Dictionary& row, const char* column, int32_t fallback) {
  const ns::Value* value = numberIn(row, column);
  return value ? static_cast<int32_t>(value->integerValue()) : fallback;
}

std::shared_ptr<MSREventAggregates> aggregatesFromRow(const ns::Dictionary& row, ns::Error*) {
  const ns::Value* name = row.find("name");
  const ns::Value* lastFire = numberIn(row, "last_fire_timestamp");
  auto aggregates = MSREventAggregates::initWithName(
      name && name->isString() ? name->stringValue() : std::string(), int32Or(row, "lifetime_count", 0),
      int32Or(row, "current_bundle_count", 0), int32Or(row, "current_session_count", 0),
      lastFire ? lastFire->doubleValue() : 0.0);
  if (!aggregates) return nullptr;
  const ns::Value* lastBundled = numberIn(row, "last_bundled_timestamp");
  aggregates->setLastBundledTimestamp(lastBundled ? lastBundled->doubleValue() : 0.0);
  if (const ns::Value* id = numberIn(row, "last_sampled_complex_event_id")) {
    aggregates->setLastSampledComplexEventID(id->integerValue());
  }
  aggregates->setLastSamplingRate(int32Or(row, "last_sampling_rate", 1));
  aggregates->setLastExemptFromSampling(int32Or(row, "last_exempt_from_sampling", 0) != 0);
  aggregates->setLastBundledDay(int32Or(row, "last_bundled_day", 0));
  return aggregates;
}

}  // namespace

std::shared_ptr<MSRDailyCounts> MSRDatabase::dailyCounts(ns::Error* error) {
  double midnightOffset = persistedConfig_ ? persistedConfig_->midnightOffset() : 0.0;
  auto today = static_cast<int32_t>(
      std::floor((ns::Date::now().timeIntervalSince1970() - midnightOffset) / kSecondsPerDay));
  auto rows = dataTypesFromTableWithName<MSRDailyCounts>(
      kAppMetadataTable, "rowid", ns::Value("1"), error, [today](const ns::Dictionary& row, ns::Error*) {
        return MSRDailyCounts::initWithDay(int32Or(row, "day", today), int32Or(row, "daily_conversions_count", 0),
                                           int32Or(row, "daily_events_count", 0),
                                           int32Or(row, "daily_public_events_count", 0),
                                           int32Or(row, "daily_error_events_count", 0),
                                           int32Or(row, "daily_real_time_conversion_events_count", 0));
      });
  return rows && !rows->empty() ? rows->front() : nullptr;
}

bool MSRDatabase::updateDailyCounts(const std::shared_ptr<MSRDailyCounts>& counts, ns::Error* error) {
  if (!counts) return MSRDatabaseFail(error, 3, "Received empty daily counts for getting dictionary representation");
  ns::Dictionary row{{"day", counts->day()},
                     {"daily_conversions_count", counts->conversionsCount()},
                     {"daily_events_count", counts->allEventsCount()},
                     {"daily_public_events_count", counts->publicEventsCount()},
                     {"daily_error_events_count", counts->errorEventsCount()},
                     {"daily_real_time_conversion_events_count", counts->realtimeCount()}};
  return updateDataType(row, kAppMetadataTable, "rowid", "1", error);
}

std::optional<int64_t> MSRDatabase::publicEventCount(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto count = sqliteStore_->numberForQuery("SELECT count(1) FROM events WHERE name NOT LIKE '!_%' ESCAPE '!'", {},
                                            error);
  if (!count) return std::nullopt;
  return count->integerValue();
}

std::optional<std::vector<std::shared_ptr<MSREventAggregates>>> MSRDatabase::allEventAggregates(ns::Error* error) {
  return allDataTypesFromTableWithName<MSREventAggregates>(kEventsTable, kMaxEventNames, error, aggregatesFromRow);
}

std::shared_ptr<MSREventAggregates> MSRDatabase::eventAggregatesWithName(const std::string& name, ns::Error* error) {
  auto rows = dataTypesFromTableWithName<MSREventAggregates>(kEventsTable, "name", ns::Value(name), error,
                                                             aggregatesFromRow);
  return rows && !rows->empty() ? rows->front() : nullptr;
}

bool MSRDatabase::updateEventAggregates(const std::shared_ptr<MSREventAggregates>& aggregates, ns::Error* error) {
  if (!aggregates) {
    return MSRDatabaseFail(error, 3, "Received empty event aggregates object for getting dictionary representation");
  }
  if (aggregates->name().empty()) {
    return MSRDatabaseFail(error, 1,
                           "Received event aggregates object with empty name for getting dictionary representation");
  }
  ns::Dictionary row{{"name", aggregates->name()},
                     {"lifetime_count", aggregates->lifetimeCount()},
                     {"current_bundle_count", aggregates->currentBundleCount()},
                     {"last_fire_timestamp", aggregates->lastFireTimestamp()},
                     {"last_bundled_timestamp", aggregates->lastBundledTimestamp()},
                     {"last_sampling_rate", aggregates->lastSamplingRate()},
                     {"last_exempt_from_sampling", aggregates->lastExemptFromSampling()},
                     {"last_bundled_day", aggregates->lastBundledDay()},
                     {"current_session_count", aggregates->currentSessionCount()}};
  if (aggregates->lastSampledComplexEventID()) {
    row.set("last_sampled_complex_event_id", *aggregates->lastSampledComplexEventID());
  }
  return upsertDataType(row, kEventsTable, "name", aggregates->name(), kMaxEventNames, error);
}

bool MSRDatabase::clearCurrentSessionCounts(ns::Error* error) {
  return sqliteStore_ && sqliteStore_->updateAllRecordsInTableWithName(kEventsTable, "current_session_count", 0, error);
}
