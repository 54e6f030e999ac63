// The stored remote configuration (in the app_metadata row) and the
// de-duplication of reported purchases and subscriptions.
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Date.h"

namespace {

constexpr const char* kAppMetadataTable = "app_metadata";
constexpr int32_t kConfigAppID = 1;
constexpr int64_t kKeptRecords = 1000;

}  // namespace

bool MSRDatabase::updateRemoteConfig(const std::shared_ptr<MSRPBMeasurementConfig>& config, ns::Error* error) {
  std::optional<ns::Data> encoded = config ? config->protoBuffer() : std::nullopt;
  if (!encoded || encoded->empty()) return MSRDatabaseFail(error, 1, "Invalid measurement config data");
  if (MSRPBMessageGetString(config.get(), kConfigAppID).value_or("").empty()) {
    return MSRDatabaseFail(error, 1, "Missing Zorori app ID in measurement configuration");
  }
  ns::Dictionary row{{"remote_config_data", std::move(*encoded)},
                     {"remote_config_timestamp", ns::Date::now().timeIntervalSince1970()}};
  return updateDataType(row, kAppMetadataTable, "rowid", "1", error);
}

bool MSRDatabase::updateRemoteConfigSuccessfulTimestamp(double timestamp, ns::Error* error) {
  return updateDataType(ns::Dictionary{{"remote_config_timestamp", timestamp}}, kAppMetadataTable, "rowid", "1",
                        error);
}

std::shared_ptr<MSRPBMeasurementConfig> MSRDatabase::queryMeasurementConfigWithError(ns::Error* error) {
  if (!sqliteStore_) return nullptr;
  auto rows = sqliteStore_->recordsForQuery("SELECT remote_config_data FROM app_metadata LIMIT 1", {}, error);
  if (!rows || rows->empty()) return nullptr;
  const ns::Value* stored = rows->front().find("remote_config_data");
  const ns::Data* data = stored ? stored->asData() : nullptr;
  if (!data || data->empty()) return nullptr;
  auto config = MSRPBMeasurementConfig::initWithBuffer(*data);
  if (!config) MSRDatabaseFail(error, 2, "Remote config data is corrupted");
  return config;
}

std::optional<double> MSRDatabase::lastRemoteConfigUpdateTimestamp(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto number = sqliteStore_->numberForQuery("SELECT remote_config_timestamp FROM app_metadata LIMIT 1", {}, error);
  if (!number) return std::nullopt;
  return number->doubleValue();
}

namespace {

// Records the key in a one-column table unless it is there; the newest
// `keep` rows are kept when `keep` is given.
std::optional<bool> insertIfNotDuplicate(MSRSqliteStore* store, const std::string& table, const std::string& column,
                                         const std::string& key, std::optional<int64_t> keep, ns::Error* error) {
  if (key.empty()) return false;
  if (!store) return std::nullopt;
  auto exists = store->numberForQuery(
      "SELECT EXISTS (SELECT 1 FROM " + table + " WHERE " + column + " = ? LIMIT 1)", {key}, error);
  if (!exists) return std::nullopt;
  if (exists->boolValue()) return false;
  if (!store->upsertRecord(ns::Dictionary{{column, key}}, table, error)) return std::nullopt;
  if (keep &&
      !store->deleteRecordsFromTableWithName(
          table, "rowid IN (SELECT rowid FROM " + table + " ORDER BY rowid DESC LIMIT -1 OFFSET ?)", {*keep}, error)) {
    return std::nullopt;
  }
  return true;
}

}  // namespace

std::optional<bool> MSRDatabase::insertIfNotDuplicatePurchaseFingerprint(const std::string& fingerprint,
                                                                         ns::Error* error) {
  return insertIfNotDuplicate(sqliteStore_.get(), "purchase_transactions", "fingerprint", fingerprint, kKeptRecords,
                              error);
}

bool MSRDatabase::deletePurchaseFingerprint(const std::string& fingerprint, ns::Error* error) {
  return sqliteStore_ &&
         sqliteStore_->deleteRecordFromTableWithName("purchase_transactions", "fingerprint", ns::Value(fingerprint), error);
}

std::optional<bool> MSRDatabase::insertIfNotDuplicateSubscriptionID(const std::string& subscriptionID,
                                                                    ns::Error* error) {
  return insertIfNotDuplicate(sqliteStore_.get(), "subscriptions", "subscription_id", subscriptionID, std::nullopt,
                              error);
}

std::optional<int64_t> MSRDatabase::deleteSubscriptionsOverLimit(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  return sqliteStore_->deleteRecordsFromTableWithName(
      "subscriptions", "rowid IN (SELECT rowid FROM subscriptions ORDER BY rowid DESC LIMIT -1 OFFSET ?)",
      {kKeptRecords}, error);
}
