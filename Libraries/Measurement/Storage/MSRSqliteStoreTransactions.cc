// Blocks inside exclusive transactions.
#include <sqlite3.h>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSRSqliteStore.h"
#include "Libraries/Measurement/Storage/MSRSqliteStoreSupport.h"

using msr_store::check;

bool MSRSqliteStore::executeFixedStatement(const char* sql) {
  return sqliteHandle_ && sqlite3_exec(sqliteHandle_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool MSRSqliteStore::beginTransaction() { return executeFixedStatement("BEGIN EXCLUSIVE TRANSACTION"); }
bool MSRSqliteStore::endTransaction() { return executeFixedStatement("END TRANSACTION"); }
bool MSRSqliteStore::rollbackTransaction() { return executeFixedStatement("ROLLBACK"); }

bool MSRSqliteStore::performTransactionWithError(ns::Error* error, const std::function<bool()>& block) {
  if (!check(static_cast<bool>(block), error, 1, "Received nil transaction block")) return false;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Database not open")) return false;
  if (!check(beginTransaction(), error, 3, "Failed to begin transaction")) return false;

  bool succeeded = false;
  try {
    succeeded = block();
  } catch (...) {
    if (!rollbackTransaction()) {
      MSRMeasurement::monitor()->logWithLevel(1, 34009, "Failed to rollback transaction after exception");
    }
    throw;
  }

  if (!succeeded) {
    check(false, error, 3, "Transaction failed");
    if (!rollbackTransaction()) MSRMeasurement::monitor()->logWithLevel(1, 34011, "Failed to rollback transaction");
    return false;
  }

  if (!endTransaction()) {
    // A refused commit (a deferred constraint, a full disk) can leave the
    // transaction open: every later BEGIN would fail and the next commit
    // would take this block's changes. Its changes are dropped instead.
    if (sqlite3_get_autocommit(sqliteHandle_) == 0 && !rollbackTransaction()) {
      MSRMeasurement::monitor()->logWithLevel(1, 34011, "Failed to rollback transaction");
    }
    check(false, error, 3, "Failed to end transaction");
    return false;
  }
  return true;
}
