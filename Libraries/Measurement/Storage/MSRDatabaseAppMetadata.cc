// The bundle sequence in the one app_metadata row (row id 1).
#include "Libraries/Measurement/Storage/MSRDatabase.h"

namespace {

constexpr const char* kTable = "app_metadata";

double doubleOrZero(const ns::Dictionary& row, const char* column) {
  const ns::Value* value = row.find(column);
  return value && value->isNumber() ? value->doubleValue() : 0.0;
}

// The start timestamp is an add-on column, NULL in rows of older versions.
std::shared_ptr<MSRAppMetadata> appMetadataFromRow(const ns::Dictionary& row, ns::Error*) {
  const ns::Value* index = row.find("last_bundle_index");
  return MSRAppMetadata::initWithLastBundleIndex(index ? static_cast<int32_t>(index->integerValue()) : 0,
                                                 doubleOrZero(row, "last_bundle_start_timestamp"),
                                                 doubleOrZero(row, "last_bundle_end_timestamp"));
}

}  // namespace

std::shared_ptr<MSRAppMetadata> MSRDatabase::queryAppMetadata(ns::Error* error) {
  auto rows = dataTypesFromTableWithName<MSRAppMetadata>(kTable, "rowid", ns::Value("1"), error, appMetadataFromRow);
  return rows && !rows->empty() ? rows->front() : nullptr;
}

bool MSRDatabase::updateAppMetadata(const std::shared_ptr<MSRAppMetadata>& metadata, ns::Error* error) {
  if (!metadata) return MSRDatabaseFail(error, 3, "Received empty app metadata for getting dictionary representation");
  ns::Dictionary row{{"rowid", "1"},
                     {"last_bundle_index", metadata->lastBundleIndex()},
                     {"last_bundle_start_timestamp", metadata->lastBundleStartTimestamp()},
                     {"last_bundle_end_timestamp", metadata->lastBundleEndTimestamp()}};
  return updateDataType(row, kTable, "rowid", "1", error);
}
