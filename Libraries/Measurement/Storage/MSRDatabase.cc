// The database's life cycle, its transaction wrapper and the generic row
// operations the table operations are built on.
#include "Libraries/Measurement/Storage/MSRDatabase.h"

#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRScheduler.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Platform/Foundation/Format.h"

namespace {

constexpr const char* kAppMetadataTable = "app_metadata";

}  // namespace

bool MSRDatabaseFail(ns::Error* error, int64_t code, const char* description) {
  ns::setError(error, msr_errorWithCode(code, description));
  return false;
}

std::optional<bool> MSRDatabaseBoolean(const std::optional<ns::Value>& number) {
  if (!number) return std::nullopt;
  return number->boolValue();
}

std::shared_ptr<MSRDatabase> MSRDatabase::initWithDatabaseName(const std::string& name,
                                                               std::shared_ptr<MSRPersistedConfig> persistedConfig,
                                                               ns::Error* error) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("initWithDatabaseName:persistedConfig:error:");
  if (name.empty()) {
    MSRDatabaseFail(error, 1, "Received empty database name in init");
    return nullptr;
  }
  std::shared_ptr<MSRDatabase> database(new MSRDatabase());
  if (!database->initializeDatabaseResourcesWithContext("Init", MSRApplicationSupportFilePath(name), error)) {
    return nullptr;
  }
  database->persistedConfig_ = std::move(persistedConfig);
  return database;
}

bool MSRDatabase::initializeDatabaseResourcesWithContext(const std::string& context, const std::string& databasePath,
                                                         ns::Error* error) {
  auto monitor = MSRMeasurement::monitor();
  // The old store closes its connection before the new one opens the file.
  sqliteStore_.reset();
  sqliteStore_ = MSRSqliteStore::initWithDatabasePath(databasePath, error);
  if (!sqliteStore_) return false;
  if (!ensureAllTables()) {
    monitor->logWithLevel(1, 12002, ns::format("Failed to create or validate required database tables (%s)", context));
    // Through the store, so the file is never unlinked under an open
    // connection; the next attempt then starts on a new file.
    if (!sqliteStore_->closeAndDeleteDatabase()) {
      monitor->logWithLevel(
          4, 12003, ns::format("Failed to delete old database file after failed validation. Error (%s)", context));
    }
    return false;
  }
  if (!initializeAppMetadata()) {
    monitor->logWithLevel(1, 12004, ns::format("Failed to initialize App Metadata table (%s)", context));
    return false;
  }
  return true;
}

bool MSRDatabase::initializeAppMetadata() {
  auto monitor = MSRMeasurement::monitor();
  return performTransaction([&] {
    ns::Error error;
    auto metadata = queryAppMetadata(&error);
    if (metadata) return true;
    if (!error.domain().empty()) {
      monitor->logWithLevel(1, 12005, "Failed to query app metadata");
      return false;
    }
    auto fresh = MSRAppMetadata::initWithLastBundleIndex(0, 0.0, 0.0);
    ns::Dictionary row{{"rowid", "1"},
                       {"last_bundle_index", fresh->lastBundleIndex()},
                       {"last_bundle_start_timestamp", fresh->lastBundleStartTimestamp()},
                       {"last_bundle_end_timestamp", fresh->lastBundleEndTimestamp()}};
    if (!upsertDataType(row, kAppMetadataTable, "rowid", "1", 1, &error)) {
      monitor->logWithLevel(1, 12006, "Unable to update the app metadata. Error", error);
      return false;
    }
    return true;
  });
}

bool MSRDatabase::reset(ns::Error* error) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("reset:");
  // Without a store (its rebuild failed) there is no file to delete here.
  if (!sqliteStore_ || !sqliteStore_->closeAndDeleteDatabase()) {
    return MSRDatabaseFail(error, 2, "Failed to delete database data");
  }
  std::string path = sqliteStore_->databasePath();
  return initializeDatabaseResourcesWithContext("Reset", path, error);
}

bool MSRDatabase::performTransaction(const std::function<bool()>& block) {
  if (!sqliteStore_) return false;
  ns::Error error;
  if (sqliteStore_->performTransactionWithError(&error, block)) return true;
  MSRMeasurement::monitor()->logWithLevel(1, 12056,
                                          ns::format("Transaction failed. %s", error.localizedDescription()));
  return false;
}

std::optional<std::vector<ns::Dictionary>> MSRDatabase::allRowsFromTableWithName(const std::string& tableName,
                                                                                  int64_t tableLimit,
                                                                                  ns::Error* error, bool hasBlock) {
  if (!hasBlock) {
    MSRDatabaseFail(error, 1, "Received nil block to get all data types");
    return std::nullopt;
  }
  if (!sqliteStore_) return std::nullopt;
  return sqliteStore_->recordsForQuery(
      ns::format("SELECT rowid, * FROM %s ORDER BY rowid LIMIT %ld", tableName, static_cast<long>(tableLimit)), {},
      error);
}

std::optional<std::vector<ns::Dictionary>> MSRDatabase::rowsFromTableWithName(
    const std::string& tableName, const std::string& columnName, const std::optional<ns::Value>& columnValue,
    ns::Error* error, bool hasBlock) {
  if (tableName.empty()) {
    MSRDatabaseFail(error, 1, "Received empty table name to create data type from table");
    return std::nullopt;
  }
  if (columnName.empty()) {
    MSRDatabaseFail(error, 1, "Received empty column name to create data type from table");
    return std::nullopt;
  }
  if (!columnValue) {
    MSRDatabaseFail(error, 1, "Received nil column value to create data type from table");
    return std::nullopt;
  }
  if (!hasBlock) {
    MSRDatabaseFail(error, 2, "Received nil block to create data type from table");
    return std::nullopt;
  }
  if (!sqliteStore_) return std::nullopt;
  return sqliteStore_->recordsForQuery(ns::format("SELECT rowid, * FROM %s WHERE %s = ?", tableName, columnName),
                                       {*columnValue}, error);
}

bool MSRDatabase::insertDataType(const ns::Dictionary& row, const std::string& tableName, ns::Error* error) {
  if (tableName.empty()) return MSRDatabaseFail(error, 1, "Received empty table name for inserting");
  if (row.empty()) return MSRDatabaseFail(error, 2, "Failed to insert empty record");
  return sqliteStore_ && sqliteStore_->upsertRecord(row, tableName, error);
}

bool MSRDatabase::upsertDataType(const ns::Dictionary& row, const std::string& tableName,
                                 const std::string& columnName, const ns::Value& columnValue, int64_t tableLimit,
                                 ns::Error* error) {
  if (row.empty()) return MSRDatabaseFail(error, 1, "Received empty data type to upsert");
  if (tableName.empty()) return MSRDatabaseFail(error, 1, "Received empty table name for checking upsert");
  if (!sqliteStore_) return false;
  auto existing = sqliteStore_->rowCountForTableWithName(tableName, columnName, columnValue, error);
  if (!existing) return false;
  auto total = sqliteStore_->rowCountForTableWithName(tableName, error);
  if (!total) return false;
  if (*existing == 0 && *total >= tableLimit) {
    return MSRDatabaseFail(error, 2, "Failed to insert data type. Table is full");
  }
  return sqliteStore_->upsertRecord(row, tableName, error);
}

bool MSRDatabase::updateDataType(const ns::Dictionary& row, const std::string& tableName,
                                 const std::string& columnName, const ns::Value& columnValue, ns::Error* error) {
  if (row.empty()) return MSRDatabaseFail(error, 1, "Received empty data type to update");
  if (tableName.empty()) return MSRDatabaseFail(error, 1, "Received empty table name for updating");
  if (!sqliteStore_) return false;
  auto existing = sqliteStore_->rowCountForTableWithName(tableName, columnName, columnValue, error);
  if (!existing) return false;
  if (*existing == 0) return MSRDatabaseFail(error, 2, "Failed to update record. Item doesn't exist");
  return sqliteStore_->updateRecord(row, tableName, columnName, columnValue, error);
}
