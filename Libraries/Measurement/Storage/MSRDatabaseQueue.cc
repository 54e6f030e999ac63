// The upload queue (gzip-compressed encoded bundles in the queue table) and
// the periodic deletion of stale raw events and bundles.
#include <cmath>
#include <limits>

#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/TelemetryFoundation/ZULGzip.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Date.h"

namespace {

constexpr const char* kQueueTable = "queue";
constexpr int32_t kRetryCeiling = std::numeric_limits<int32_t>::max();

// Field indexes of the bundle message.
constexpr int32_t kBundleEndTimestamp = 5, kBundleAppID = 14, kBundleRetryCount = 35;

// "rowid IN (?,?,...)" with the ids as its values; none with code 3 for no
// ids.
std::optional<std::string> rowIDCondition(const std::vector<int64_t>& rowIDs, ns::Array* values, ns::Error* error) {
  if (rowIDs.empty()) {
    MSRDatabaseFail(error, 3, "Received empty row IDs to process");
    return std::nullopt;
  }
  std::string placeholders;
  for (int64_t id : rowIDs) {
    placeholders += placeholders.empty() ? "?" : ",?";
    values->push_back(id);
  }
  return "rowid IN (" + placeholders + ")";
}

// A queue row decoded: the bundle carrying the row's retry count, its row
// id, and the size of its encoding as stored (what an upload batch counts).
struct DecodedRow {
  MSRQueuedBundle bundle;
  size_t encodedSize = 0;
};

std::optional<DecodedRow> decodeRow(const ns::Dictionary& row, ns::Error* error) {
  if (row.empty()) {
    MSRDatabaseFail(error, 3, "Cannot process empty rowData");
    return std::nullopt;
  }
  const ns::Value* stored = row.find("data");
  const ns::Data* data = stored ? stored->asData() : nullptr;
  if (!data || data->empty()) {
    MSRDatabaseFail(error, 3, "Cannot decompress an empty bundle data");
    return std::nullopt;
  }
  ns::Error inflateError;
  std::optional<ns::Data> encoded = ZULGzip::zul_dataByInflatingGzippedData(*data, &inflateError);
  if (!encoded || encoded->empty()) {
    ns::setError(error, msr_errorWithCode(2, inflateError.localizedDescription()));
    return std::nullopt;
  }
  auto bundle = MSRPBMeasurementBundle::initWithBuffer(*encoded);
  if (!bundle) {
    MSRDatabaseFail(error, 2, "Unable to parse bundle from decompressed data");
    return std::nullopt;
  }
  const ns::Value* retryCount = row.find("retry_count");
  if (retryCount && retryCount->isNumber() && retryCount->integerValue() >= 1) {
    MSRPBMessageSetInt32(bundle.get(), kBundleRetryCount, static_cast<int32_t>(retryCount->integerValue()));
  }
  const ns::Value* rowID = row.find("rowid");
  if (!rowID || !rowID->isNumber()) return std::nullopt;
  return DecodedRow{{std::move(bundle), rowID->integerValue()}, encoded->size()};
}

}  // namespace

bool MSRDatabase::insertBundle(const std::shared_ptr<MSRPBMeasurementBundle>& bundle, bool isRealtime,
                               ns::Error* error) {
  ns::Data encoded = bundle ? bundle->protoBuffer().value_or(ns::Data{}) : ns::Data{};
  if (encoded.empty()) return MSRDatabaseFail(error, 1, "Failed to insert nil bundle");
  if (MSRPBMessageGetString(bundle.get(), kBundleAppID).value_or("").empty()) {
    return MSRDatabaseFail(error, 1, "Failed to insert bundle without App ID");
  }
  int64_t endMilliseconds = MSRPBMessageGetInt64(bundle.get(), kBundleEndTimestamp);
  if (endMilliseconds < 1) return MSRDatabaseFail(error, 1, "Failed to insert bundle without valid timestamp");
  if (!maybeDeleteStaleData(error).has_value()) return false;

  auto monitor = MSRMeasurement::monitor();
  double end = static_cast<double>(endMilliseconds) / 1000.0;
  if (std::fabs(ns::Date::now().timeIntervalSince1970() - end) > MSRMeasurement::remoteConfig()->maxQueueTime()) {
    monitor->logWithLevel(4, 12016, "Storing bundle outside of the max uploading time span");
  }
  std::optional<ns::Data> compressed = ZULGzip::zul_dataByGzippingData(encoded, nullptr);
  if (!compressed || compressed->empty()) return MSRDatabaseFail(error, 2, "Failed to compress bundle");
  monitor->logWithLevel(7, 12018, "Saving bundle. size (bytes)", std::to_string(compressed->size()));
  ns::Dictionary row{{"bundle_end_timestamp", end},
                     {"data", std::move(*compressed)},
                     {"is_realtime", isRealtime},
                     {"retry_count", MSRPBMessageGetInt32(bundle.get(), kBundleRetryCount)}};
  return sqliteStore_ && sqliteStore_->upsertRecord(row, kQueueTable, error);
}

std::optional<std::vector<MSRQueuedBundle>> MSRDatabase::queryBundlesWithCountLimit(int64_t countLimit,
                                                                                    int64_t sizeLimit,
                                                                                    ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto rows = sqliteStore_->recordsForQuery("SELECT rowid, data, retry_count FROM queue ORDER BY rowid ASC LIMIT ?",
                                            {countLimit}, error);
  if (!rows) return std::nullopt;
  std::vector<MSRQueuedBundle> batch;
  int64_t total = 0;
  for (const auto& row : *rows) {
    ns::Error rowError;
    std::optional<DecodedRow> decoded = decodeRow(row, &rowError);
    if (!decoded) continue;
    auto size = static_cast<int64_t>(decoded->encodedSize);
    // The first bundle goes whatever its size, so one larger than the limit
    // is still uploaded (alone) rather than blocking the queue.
    if (!batch.empty() && total + size > sizeLimit) break;
    total += size;
    batch.push_back(std::move(decoded->bundle));
    if (total > sizeLimit) break;
  }
  return batch;
}

std::optional<std::vector<MSRQueuedBundle>> MSRDatabase::queryBundlesWithRowIDs(const std::vector<int64_t>& rowIDs,
                                                                                ns::Error* error) {
  ns::Array values;
  std::optional<std::string> condition = rowIDCondition(rowIDs, &values, error);
  if (!condition || !sqliteStore_) return std::nullopt;
  auto rows = sqliteStore_->recordsForQuery("SELECT rowid, data, retry_count FROM queue WHERE " + *condition, values,
                                            error);
  if (!rows) return std::nullopt;
  std::vector<MSRQueuedBundle> bundles;
  for (const auto& row : *rows) {
    ns::Error rowError;
    if (std::optional<DecodedRow> decoded = decodeRow(row, &rowError)) bundles.push_back(std::move(decoded->bundle));
  }
  return bundles;
}

bool MSRDatabase::deleteBundlesWithRowIDs(const std::vector<int64_t>& rowIDs, ns::Error* error) {
  ns::Array values;
  std::optional<std::string> condition = rowIDCondition(rowIDs, &values, error);
  return condition && sqliteStore_ && sqliteStore_->deleteRecordsFromTableWithName(kQueueTable, *condition, values, error);
}

bool MSRDatabase::incrementRetryCounterForBundlesWithIDs(const std::vector<int64_t>& rowIDs, ns::Error* error) {
  if (rowIDs.empty()) return MSRDatabaseFail(error, 1, "Failed to increment retry counter");
  if (!sqliteStore_) return false;
  auto atCeiling = sqliteStore_->numberForQuery("SELECT EXISTS (SELECT 1 FROM queue WHERE retry_count = ? LIMIT 1)",
                                                {kRetryCeiling}, error);
  if (atCeiling && atCeiling->boolValue()) {
    MSRMeasurement::monitor()->logWithLevel(
        1, 12054, "The number of upload retries exceeds the limit. Will remain unchanged.");
  }
  ns::Array values;
  std::optional<std::string> condition = rowIDCondition(rowIDs, &values, error);
  if (!condition) return false;
  values.push_back(kRetryCeiling);
  return sqliteStore_->increaseColumn("retry_count", 1, kQueueTable, *condition + " AND retry_count < ?", values,
                                      error);
}

std::optional<bool> MSRDatabase::isQueuedBundleTableEmpty(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  return MSRDatabaseBoolean(sqliteStore_->numberForQuery("SELECT NOT EXISTS (SELECT 1 FROM queue LIMIT 1)", {}, error));
}

std::optional<double> MSRDatabase::queryLatestBundleTime(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto latest = sqliteStore_->numberForQuery("SELECT MAX(bundle_end_timestamp) FROM queue", {}, error);
  if (!latest) return std::nullopt;
  return latest->doubleValue();
}

std::optional<bool> MSRDatabase::containsRealtimeBundlesWithError(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  return MSRDatabaseBoolean(
      sqliteStore_->numberForQuery("SELECT EXISTS (SELECT 1 FROM queue WHERE is_realtime = 1 LIMIT 1)", {}, error));
}

std::optional<bool> MSRDatabase::maybeDeleteStaleData(ns::Error* error) {
  auto remoteConfig = MSRMeasurement::remoteConfig();
  double now = ns::Date::now().timeIntervalSince1970();
  double last = persistedConfig_ ? persistedConfig_->lastDeleteStaleBundlesTimestamp() : 0.0;
  bool due = std::fabs(now - last) > remoteConfig->databaseDeleteStaleBundlesInterval();
  if (due) {
    double maxAge = remoteConfig->maxQueueTime();
    if (!deleteStaleRawEventsDataOlderThanMaxAge(maxAge, error) || !deleteStaleBundlesOlderThanMaxAge(maxAge, error)) {
      return std::nullopt;
    }
    if (persistedConfig_) persistedConfig_->setLastDeleteStaleBundlesTimestamp(now);
  }
  return due;
}

bool MSRDatabase::deleteStaleBundlesOlderThanMaxAge(double maxAge, ns::Error* error) {
  if (maxAge < 0) return MSRDatabaseFail(error, 1, "Cannot delete stale bundles after negative time period");
  return sqliteStore_ && sqliteStore_->deleteRecordsFromTableWithName(
                             kQueueTable, "abs(bundle_end_timestamp - cast(? as REAL)) > cast(? as REAL)",
                             {ns::Date::now().timeIntervalSince1970(), maxAge}, error);
}
