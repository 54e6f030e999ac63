// Opening, validating, closing and deleting the database file, and the
// errors that describe a failed SQLite operation.
#include "Libraries/Measurement/Storage/MSRSqliteStore.h"

#include <sqlite3.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Libraries/Measurement/Storage/MSRSqliteStoreSupport.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/URL.h"

using msr_store::check;

MSRSqliteStore::MSRSqliteStore(std::string path) : databasePath_(std::move(path)) {}

MSRSqliteStore::~MSRSqliteStore() { closeDatabase(); }

std::shared_ptr<MSRSqliteStore> MSRSqliteStore::initWithDatabasePath(const std::string& path, ns::Error* error) {
  if (!check(!path.empty(), error, 1, "Received empty database path on init")) return nullptr;
  std::shared_ptr<MSRSqliteStore> store(new MSRSqliteStore(path));
  if (store->openAndValidateDatabase(error)) return store;
  // A file that cannot be opened or fails the check is thrown away and made
  // afresh, once: its rows are lost, the measurement goes on.
  if (store->closeAndDeleteDatabase() && store->openAndValidateDatabase(error)) return store;
  return nullptr;
}

bool MSRSqliteStore::openAndValidateDatabase(ns::Error* error) {
  auto& files = ns::FileManager::defaultManager();
  if (files.fileExists(databasePath_)) {
    std::optional<bool> immutable = files.isImmutableItem(databasePath_, error);
    if (!immutable) return false;
    if (*immutable && !files.setImmutable(false, databasePath_, error)) return false;
  } else {
    std::string directory = ns::URL::fileURLWithPath(databasePath_).deletingLastPathComponent().path();
    if (!files.createDirectory(directory, true, error)) return false;
  }

  sqlite3* handle = nullptr;
  int result = sqlite3_open_v2(databasePath_.c_str(), &handle,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  sqliteHandle_ = handle;
  if (result != SQLITE_OK) {
    setDatabaseError(error, "initialize sqlite handle");
    closeDatabase();
    return false;
  }

  ns::Error backupError;
  if (!MSRExcludeFileFromBackup(databasePath_, &backupError)) {
    MSRMeasurement::monitor()->logWithLevel(4, 34017, "Failed to exclude database file from backup", backupError);
  }

  if (!validateDatabaseWithError(error)) {
    closeDatabase();
    return false;
  }
  return true;
}

bool MSRSqliteStore::validateDatabaseWithError(ns::Error* error) {
  if (!check(sqliteHandle_ != nullptr, error, 2, "Validate database failed. Database not open.")) return false;
  sqlite3_stmt* statement = nullptr;
  bool ok = false;
  if (sqlite3_prepare_v2(sqliteHandle_, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_count(statement) == 1) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    ok = text && std::string(reinterpret_cast<const char*>(text)) == "ok";
  }
  if (!ok) setDatabaseError(error, "validate database");
  sqlite3_finalize(statement);
  return ok;
}

void MSRSqliteStore::closeDatabase() {
  if (!sqliteHandle_) return;
  finalizeAndClearStatements();
  int result = sqlite3_close_v2(sqliteHandle_);
  if (result != SQLITE_OK) {
    MSRMeasurement::monitor()->logWithLevel(1, 34018, "Failed to close database. Got error code", result);
  }
  sqliteHandle_ = nullptr;
}

bool MSRSqliteStore::closeAndDeleteDatabase() {
  closeDatabase();
  auto& files = ns::FileManager::defaultManager();
  if (!files.fileExists(databasePath_)) return true;
  files.setImmutable(false, databasePath_);
  ns::Error removeError;
  if (!files.removeItem(databasePath_, &removeError)) {
    MSRMeasurement::monitor()->logWithLevel(1, 34019, "Failed to delete database. Error", removeError);
    return false;
  }
  return true;
}

void MSRSqliteStore::finalizeAndClearStatements() {
  for (auto& [query, statement] : statementCache_) sqlite3_finalize(statement);
  statementCache_.clear();
}

void MSRSqliteStore::setDatabaseError(ns::Error* error, const std::string& operation) {
  if (!error) return;
  *error = msr_errorWithCode(3, errorDescriptionForDatabaseOperation(operation).value_or(""),
                             monitorContextForDatabaseOperation(operation));
}

std::optional<std::string> MSRSqliteStore::errorDescriptionForDatabaseOperation(const std::string& operation) {
  if (!sqliteHandle_) return std::nullopt;
  return ns::format("Database operation \"%@\" failed with sqlite code %d and error message \"%@\"", operation,
                    sqlite3_errcode(sqliteHandle_), lastErrorMessage().value_or(""));
}

std::optional<std::string> MSRSqliteStore::lastErrorMessage() {
  if (!sqliteHandle_) {
    MSRMeasurement::monitor()->logWithLevel(1, 34022, "Failed to get last error message. Database not open");
    return std::nullopt;
  }
  return sqlite3_errmsg(sqliteHandle_);
}

std::string MSRSqliteStore::monitorContextForDatabaseOperation(const std::string& operation) {
  std::string context = operation.empty() ? "Unknown operation" : operation;
  // No connection, no code: the field stays empty.
  context += ",";
  if (sqliteHandle_) context += std::to_string(sqlite3_errcode(sqliteHandle_));
  context += ::access(databasePath_.c_str(), W_OK) == 0 ? ",A," : ",NA,";
  struct statvfs fileSystem;
  if (::statvfs(databasePath_.c_str(), &fileSystem) == 0) {
    // The order of magnitude of the free MiB: enough to tell a full disk.
    uint64_t freeMiB = (static_cast<uint64_t>(fileSystem.f_bavail) * fileSystem.f_frsize) >> 20;
    int digits = -1;
    for (; freeMiB > 0; freeMiB /= 10) ++digits;
    context += std::to_string(digits);
  }
  return context;
}
