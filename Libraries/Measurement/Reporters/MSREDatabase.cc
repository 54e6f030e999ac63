#include "Libraries/Measurement/Reporters/MSREDatabase.h"

#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Reporters/MSREManager.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Platform/Foundation/Clock.h"

namespace {

constexpr long kTableLimit = 100000;
constexpr double kStaleSeconds = 259200;

const MSRColumnInfo& snapshotColumns() {
  static const MSRColumnInfo columns = {{"sdk_name", "TEXT NOT NULL PRIMARY KEY"},
                                        {"snapshotProto", "BLOB NOT NULL"},
                                        {"timestamp", "REAL NOT NULL"},
                                        {"manually_activated", "INTEGER"}};
  return columns;
}

std::shared_ptr<MSRMonitor> monitor() { return MSREManager::monitor(); }

// The snapshot a row's "snapshotProto" holds; null when it holds none.
std::shared_ptr<MSRESnapshot> snapshotOfRow(const ns::Dictionary& row) {
  const ns::Value* bytes = row.find("snapshotProto");
  const ns::Data* data = bytes ? bytes->asData() : nullptr;
  auto proto = data ? MSRPBSnapshot::initWithBuffer(*data) : nullptr;
  return proto ? MSRESnapshot::initWithProtobuf(proto.get()) : nullptr;
}

}  // namespace

std::shared_ptr<MSREDatabase> MSREDatabase::initWithPath(const std::string& path) {
  if (path.empty()) {
    monitor()->logWithLevel(1, 810000, "Cannot initialize the database with invalid path");
    return nullptr;
  }
  std::shared_ptr<MSREDatabase> database(new MSREDatabase());
  if (!database->initializeDatabaseResourcesWithContext("Init", path)) return nullptr;
  return database;
}

bool MSREDatabase::initializeDatabaseResourcesWithContext(const std::string& context,
                                                          const std::string& databasePath) {
  ns::Error error;
  sqliteStore_ = MSRSqliteStore::initWithDatabasePath(databasePath, &error);
  if (!sqliteStore_) {
    monitor()->logWithLevel(1, 810001, "Failed to open database (" + context + ")", error);
    return false;
  }
  if (ensureAllTables()) return true;
  monitor()->logWithLevel(1, 810002, "Failed to create or validate required database tables (" + context + ")");
  sqliteStore_->closeDatabase();
  ns::Error deleteError;
  if (!MSRDeleteFileAtPath(databasePath, &deleteError)) {
    monitor()->logWithLevel(4, 810003, "Failed to delete old database file after failed validation. Error (%@)",
                            deleteError);
  }
  sqliteStore_.reset();
  return false;
}

bool MSREDatabase::ensureAllTables() {
  if (!sqliteStore_) return false;
  for (const char* table : {kMSREPendingSnapshotTable, kMSREActivatedSnapshotTable, kMSRELaunchedSnapshotTable}) {
    ns::Error error;
    if (!sqliteStore_->ensureTableWithName(table, snapshotColumns(), {}, ns::Dictionary{}, &error)) {
      monitor()->logWithLevel(1, 810004, "Failed to ensure table. Table, error", table, error);
      return false;
    }
  }
  return true;
}

void MSREDatabase::closeAndDelete() {
  if (!sqliteStore_ || !sqliteStore_->closeAndDeleteDatabase()) {
    monitor()->logWithLevel(4, 810005, "Failed to delete database data");
  }
}

void MSREDatabase::reset() {
  std::string path = sqliteStore_ ? sqliteStore_->databasePath() : std::string();
  closeAndDelete();
  if (path.empty() || !initializeDatabaseResourcesWithContext("Reset", path)) {
    monitor()->logWithLevel(1, 810006, "Cannot re-initialize the database");
  }
}

bool MSREDatabase::performTransaction(const std::function<bool()>& block) {
  if (!sqliteStore_) return false;
  ns::Error error;
  if (sqliteStore_->performTransactionWithError(&error, block)) return true;
  monitor()->logWithLevel(1, 810007, "Transaction failed. " + error.localizedDescription());
  return false;
}

std::optional<std::vector<std::shared_ptr<MSRESnapshot>>> MSREDatabase::fetchAllActivatedSnapshots(ns::Error* error) {
  return allDataTypesFromTableWithName(kMSREActivatedSnapshotTable, kTableLimit, error);
}

std::optional<std::vector<std::shared_ptr<MSRESnapshot>>> MSREDatabase::fetchAllPendingSnapshots(ns::Error* error) {
  return allDataTypesFromTableWithName(kMSREPendingSnapshotTable, kTableLimit, error);
}

std::optional<std::vector<std::shared_ptr<MSRESnapshot>>> MSREDatabase::fetchAllLaunchedSnapshots(ns::Error* error) {
  return allDataTypesFromTableWithName(kMSRELaunchedSnapshotTable, kTableLimit, error);
}

bool MSREDatabase::activateSnapshot(const std::shared_ptr<MSRESnapshot>& snapshot, double timestamp,
                                    ns::Error* error) {
  if (!snapshot) {
    ns::setError(error, msr_errorWithCode(1, "Received nil pending snapshot"));
    return false;
  }
  std::shared_ptr<MSREExperiment> launched;
  std::vector<std::shared_ptr<MSREExperiment>> activated;
  for (const auto& experiment : snapshot->experiments()) {
    if (experiment->experimentID() == 0) {
      launched = experiment;
    } else {
      activated.push_back(experiment);
    }
  }
  if (launched) {
    auto launchedSnapshot = MSRESnapshot::initWithSDKName(snapshot->SDKName(), {launched});
    if (!upsertSnapshot(launchedSnapshot, kMSRELaunchedSnapshotTable, timestamp, std::nullopt, error)) return false;
  }
  if (!activated.empty()) {
    auto activatedSnapshot = MSRESnapshot::initWithSDKName(snapshot->SDKName(), activated);
    if (!upsertSnapshot(activatedSnapshot, kMSREActivatedSnapshotTable, timestamp, std::nullopt, error)) return false;
  }
  // A snapshot fetched after the one being activated stays pending.
  if (!sqliteStore_) return false;
  return sqliteStore_
      ->deleteRecordsFromTableWithName(kMSREPendingSnapshotTable, "sdk_name = ? AND timestamp <= ?",
                                       ns::Array{snapshot->SDKName(), timestamp}, error)
      .has_value();
}

bool MSREDatabase::deleteStaleActivatedSnapshots(ns::Error* error) {
  if (!sqliteStore_) return false;
  double limit = ns::Clock::now().timeIntervalSince1970() - kStaleSeconds;
  return sqliteStore_->deleteRecordsFromTableWithName(kMSREActivatedSnapshotTable, "timestamp <= ?", ns::Array{limit},
                                                      error)
      .has_value();
}

bool MSREDatabase::upsertPendingExperimentSnapshots(const std::vector<std::shared_ptr<MSRESnapshot>>& snapshots,
                                                    ns::Error* error) {
  for (const auto& snapshot : snapshots) {
    if (!upsertSnapshot(snapshot, kMSREPendingSnapshotTable, snapshot->timestamp(), snapshot->manuallyActivated(),
                        error)) {
      return false;
    }
  }
  return true;
}

bool MSREDatabase::activatePendingSnapshotsAutomatically(ns::Error* error) {
  if (!sqliteStore_) return false;
  auto rows = sqliteStore_->recordsForQuery(
      "SELECT rowid,* FROM pending_snapshot_table WHERE NOT manually_activated = ? ORDER BY rowid", ns::Array{true},
      error);
  if (!rows) return false;
  for (const auto& row : *rows) {
    auto snapshot = snapshotOfRow(row);
    if (!snapshot) {
      ns::setError(error, msr_errorWithCode(2, "Received an invalid snapshot from database"));
      return false;
    }
    const ns::Value* timestamp = row.find("timestamp");
    if (!activateSnapshot(snapshot, timestamp ? timestamp->doubleValue() : 0, error)) return false;
    const ns::Value* name = row.find("sdk_name");
    if (!sqliteStore_->deleteRecordFromTableWithName(kMSREPendingSnapshotTable, "sdk_name",
                                                     name ? std::optional<ns::Value>(*name) : std::nullopt, error)) {
      return false;
    }
  }
  return true;
}

bool MSREDatabase::deleteActivatedExperimentsOfSDKName(const std::string& SDKName, ns::Error* error) {
  if (SDKName.empty()) {
    ns::setError(error, msr_errorWithCode(1, "Received empty SDK Name"));
    return false;
  }
  return deleteExperimentsOfSDKName(SDKName, kMSREActivatedSnapshotTable, error);
}

bool MSREDatabase::deletePendingExperimentsOfSDKName(const std::string& SDKName, ns::Error* error) {
  return deleteExperimentsOfSDKName(SDKName, kMSREPendingSnapshotTable, error);
}

bool MSREDatabase::deleteLaunchedExperimentSDKName(const std::string& SDKName, ns::Error* error) {
  return deleteExperimentsOfSDKName(SDKName, kMSRELaunchedSnapshotTable, error);
}

bool MSREDatabase::upsertSnapshot(const std::shared_ptr<MSRESnapshot>& snapshot, const std::string& tableName,
                                  double timestamp, std::optional<bool> manuallyActivated, ns::Error* error) {
  if (!sqliteStore_ || !snapshot) return false;
  auto encoded = snapshot->proto()->protoBuffer();
  if (!encoded) {
    ns::setError(error, msr_errorWithCode(2, "Received an invalid snapshot"));
    return false;
  }
  ns::Dictionary record{{"sdk_name", snapshot->SDKName()}, {"timestamp", timestamp}, {"snapshotProto", *encoded}};
  if (manuallyActivated) record.set("manually_activated", *manuallyActivated ? 1 : 0);
  return sqliteStore_->upsertRecord(record, tableName, error);
}

std::optional<std::vector<std::shared_ptr<MSRESnapshot>>> MSREDatabase::allDataTypesFromTableWithName(
    const std::string& tableName, long tableLimit, ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto rows = sqliteStore_->recordsForQuery(
      "SELECT rowid, * FROM " + tableName + " ORDER BY rowid LIMIT " + std::to_string(tableLimit), ns::Array{}, error);
  if (!rows) return std::nullopt;
  std::vector<std::shared_ptr<MSRESnapshot>> snapshots;
  for (const auto& row : *rows) {
    auto snapshot = snapshotOfRow(row);
    if (!snapshot) return std::nullopt;
    if (const ns::Value* timestamp = row.find("timestamp")) snapshot->setTimestamp(timestamp->doubleValue());
    const ns::Value* manual = row.find("manually_activated");
    if (manual && manual->isNumber()) snapshot->setManuallyActivated(manual->boolValue());
    snapshots.push_back(snapshot);
  }
  return snapshots;
}

bool MSREDatabase::deleteExperimentsOfSDKName(const std::string& SDKName, const std::string& tableName,
                                              ns::Error* error) {
  if (!sqliteStore_) return false;
  return sqliteStore_->deleteRecordFromTableWithName(tableName, "sdk_name", ns::Value(SDKName), error);
}
