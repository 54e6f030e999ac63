// Records: upsert, update, increase, delete, count and select.
#include <sqlite3.h>

#include <cctype>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSRSqliteStore.h"
#include "Libraries/Measurement/Storage/MSRSqliteStoreSupport.h"
#include "Platform/Foundation/Format.h"

using msr_store::check;

namespace {

bool beginsWithSelect(const std::string& query) {
  static constexpr std::string_view kSelect = "select";
  if (query.size() < kSelect.size()) return false;
  for (size_t i = 0; i < kSelect.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(query[i])) != kSelect[i]) return false;
  }
  return true;
}

// The text without its last `count` characters.
std::string dropLast(const std::string& text, size_t count) { return text.substr(0, text.size() - count); }

}  // namespace

bool MSRSqliteStore::upsertRecord(const ns::Dictionary& record, const std::string& tableName, ns::Error* error) {
  if (!check(!record.empty(), error, 1, "Received empty record for upsert")) return false;
  if (!check(!tableName.empty(), error, 1, "Received empty table name for upsert")) return false;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Upsert record failed. Database not open.")) return false;
  sqlite3_stmt* statement = upsertStatementForRecord(record, tableName, error);
  if (!statement) return false;
  return executeSQLStatement(statement, error);
}

sqlite3_stmt* MSRSqliteStore::upsertStatementForRecord(const ns::Dictionary& record, const std::string& tableName,
                                                       ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for upsert")) return nullptr;
  if (!check(!record.empty(), error, 1, "Received empty record for upsert")) return nullptr;
  std::string columns, placeholders;
  for (const auto& [column, value] : record) {
    if (!msr_store::isWritable(value)) {
      MSRMeasurement::monitor()->logWithLevel(4, 34020, "Record has value of unexpected type");
      check(false, error, 1, "Failed to bind parameter of unexpected type to upsert statement");
      return nullptr;
    }
    columns += column + ", ";
    placeholders += "?, ";
  }
  std::string sql = "INSERT OR REPLACE INTO " + tableName + " (" + dropLast(columns, 2) + ") VALUES (" +
                    dropLast(placeholders, 2) + ");";
  sqlite3_stmt* statement = prepareSQL(sql, error);
  if (!statement) return nullptr;
  // Bound straight from the caller's record, which outlives the statement.
  int index = 1;
  for (const auto& entry : record) {
    if (msr_store::bindValue(statement, index++, entry.second) != SQLITE_OK) {
      setDatabaseError(error, "bind values");
      sqlite3_finalize(statement);
      return nullptr;
    }
  }
  return statement;
}

bool MSRSqliteStore::updateRecord(const ns::Dictionary& record, const std::string& tableName,
                                  const std::string& columnName, const std::optional<ns::Value>& columnValue,
                                  ns::Error* error) {
  if (!check(!record.empty(), error, 1, "Empty record for update")) return false;
  if (!check(!tableName.empty(), error, 1, "Empty table name for update")) return false;
  if (!check(!columnName.empty(), error, 1, "Empty column name for update")) return false;
  if (!check(columnValue.has_value(), error, 1, "Nil column value for update")) return false;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Update record failed. Database not open.")) return false;
  sqlite3_stmt* statement = updateStatementForRecord(record, tableName, columnName, columnValue, error);
  if (!statement) return false;
  return executeSQLStatement(statement, error);
}

sqlite3_stmt* MSRSqliteStore::updateStatementForRecord(const ns::Dictionary& record, const std::string& tableName,
                                                       const std::string& columnName,
                                                       const std::optional<ns::Value>& columnValue,
                                                       ns::Error* error) {
  if (!check(!record.empty(), error, 1, "Empty record for update")) return nullptr;
  if (!check(!tableName.empty(), error, 1, "Empty table name for update")) return nullptr;
  if (!check(!columnName.empty(), error, 1, "Empty column name for update")) return nullptr;
  if (!check(columnValue.has_value(), error, 1, "Nil column value for update")) return nullptr;
  std::string assignments;
  for (const auto& [column, value] : record) {
    if (!msr_store::isWritable(value)) {
      MSRMeasurement::monitor()->logWithLevel(4, 34021, "Record has value of unexpected type (update)");
      check(false, error, 1, "Failed to bind parameter of unexpected type to update statement");
      return nullptr;
    }
    assignments += column + "=?,";
  }
  std::string sql = "UPDATE " + tableName + " SET " + dropLast(assignments, 1) + " WHERE " + columnName + "=?";
  sqlite3_stmt* statement = prepareSQL(sql, error);
  if (!statement) return nullptr;
  int index = 1;
  bool bound = true;
  for (const auto& entry : record) bound = msr_store::bindValue(statement, index++, entry.second) == SQLITE_OK && bound;
  bound = msr_store::bindValue(statement, index, *columnValue) == SQLITE_OK && bound;
  if (!bound) {
    setDatabaseError(error, "bind values");
    sqlite3_finalize(statement);
    return nullptr;
  }
  return statement;
}

bool MSRSqliteStore::runCachedStatement(const std::string& query, const ns::Array& parameterValues,
                                        const std::string& operation, ns::Error* error) {
  sqlite3_stmt* statement = statementForQuery(query, parameterValues, error);
  if (!statement) return false;
  bool done = sqlite3_step(statement) == SQLITE_DONE;
  if (!done) setDatabaseError(error, operation);
  cleanUpStatement(statement, query);
  return done;
}

bool MSRSqliteStore::updateAllRecordsInTableWithName(const std::string& tableName, const std::string& columnName,
                                                     const std::optional<ns::Value>& columnValue,
                                                     ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Empty table name for update")) return false;
  if (!check(!columnName.empty(), error, 1, "Empty column name for update")) return false;
  if (!check(columnValue.has_value(), error, 1, "Nil column value for update")) return false;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Update record failed. Database not open.")) return false;
  return runCachedStatement("UPDATE " + tableName + " SET " + columnName + "=?", ns::Array{*columnValue},
                            "update all records value", error);
}

bool MSRSqliteStore::increaseColumn(const std::string& columnName, int64_t value, const std::string& tableName,
                                    const std::string& condition, const ns::Array& parameterValues,
                                    ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Empty table name for increase column")) return false;
  if (!check(!columnName.empty(), error, 1, "Empty column name for increase column")) return false;
  if (!check(!condition.empty(), error, 1, "Empty condition for increase column")) return false;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Increase column failed. Database not open.")) return false;
  std::optional<ns::Dictionary> columns = columnInfoForTableWithName(tableName, error);
  if (!columns) return false;
  const ns::Value* type = columns->find(columnName);
  if (!check(type != nullptr, error, 1, "Invalid column or table name")) return false;
  std::string upper = type->stringValue();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!check(upper == "INTEGER", error, 1, "Column type is not integer.")) return false;
  std::string query = ns::format("UPDATE %@ SET %@ = %@ + %lld WHERE %@", tableName, columnName, columnName,
                                 static_cast<long long>(value), condition);
  return runCachedStatement(query, parameterValues, "increase records value", error);
}

bool MSRSqliteStore::deleteRecordFromTableWithName(const std::string& tableName, const std::string& columnName,
                                                   const std::optional<ns::Value>& columnValue, ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for delete record")) return false;
  if (!check(!columnName.empty(), error, 1, "Received empty column for delete record")) return false;
  if (!check(columnValue.has_value(), error, 1, "Received nil value for delete record")) return false;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Delete record failed. Database not open.")) return false;
  sqlite3_stmt* statement = prepareSQL("DELETE FROM " + tableName + " WHERE " + columnName + "=?", error);
  if (!statement) return false;
  bool done = false;
  if (msr_store::bindValue(statement, 1, *columnValue) != SQLITE_OK) {
    setDatabaseError(error, "bind values");
  } else {
    done = sqlite3_step(statement) == SQLITE_DONE;
    if (!done) setDatabaseError(error, "delete record");
  }
  sqlite3_finalize(statement);
  return done;
}

std::optional<int64_t> MSRSqliteStore::deleteRecordsFromTableWithName(const std::string& tableName,
                                                                      const std::string& condition,
                                                                      const ns::Array& parameterValues,
                                                                      ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for delete record")) return std::nullopt;
  if (!check(!condition.empty(), error, 1, "Received empty condition for delete record")) return std::nullopt;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Delete records with condition failed. Database not open.")) {
    return std::nullopt;
  }
  if (!runCachedStatement("DELETE FROM " + tableName + " WHERE " + condition, parameterValues,
                          "delete records with condition", error)) {
    return std::nullopt;
  }
  return sqlite3_changes64(sqliteHandle_);
}

bool MSRSqliteStore::deleteAllRecordsFromTableWithName(const std::string& tableName, ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for delete all records")) return false;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Delete all records failed. Database not open.")) return false;
  return runCachedStatement("DELETE FROM " + tableName, {}, "delete all records", error);
}

std::optional<int64_t> MSRSqliteStore::rowCountForTableWithName(const std::string& tableName, ns::Error* error) {
  return rowCountForTableWithName(tableName, {}, std::nullopt, error);
}

std::optional<int64_t> MSRSqliteStore::rowCountForTableWithName(const std::string& tableName,
                                                                const std::string& columnName,
                                                                const std::optional<ns::Value>& columnValue,
                                                                ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for row count")) return std::nullopt;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Row count failed. Database not open.")) return std::nullopt;
  std::string query = "SELECT count(1) FROM " + tableName;
  ns::Array values;
  if (!columnName.empty() && columnValue) {
    query += " WHERE " + columnName + "=?";
    values.push_back(*columnValue);
  }
  std::optional<ns::Value> count = numberForQuery(query, values, error);
  if (!count) return std::nullopt;
  return count->integerValue();
}

std::optional<ns::Value> MSRSqliteStore::numberForQuery(const std::string& query, const ns::Array& parameterValues,
                                                        ns::Error* error) {
  if (!check(!query.empty(), error, 1, "Received empty query to get numeric result")) return std::nullopt;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Query numeric result failed. Database not open.")) {
    return std::nullopt;
  }
  sqlite3_stmt* statement = statementForQuery(query, parameterValues, error);
  if (!statement) return std::nullopt;
  std::optional<ns::Value> number;
  if (sqlite3_step(statement) != SQLITE_ROW) {
    setDatabaseError(error, "query numeric result");
  } else if (std::optional<ns::Value> value = valueAtColumn(0, statement); value && value->isNull()) {
    // The maximum of an empty table: no number, and no failure either.
  } else if (!value || !value->isNumber()) {
    check(false, error, 1, "Found result that was not numeric");
  } else {
    number = std::move(value);
  }
  cleanUpStatement(statement, query);
  return number;
}

std::optional<std::vector<ns::Dictionary>> MSRSqliteStore::recordsForQuery(const std::string& query,
                                                                           const ns::Array& parameterValues,
                                                                           ns::Error* error) {
  return recordsForQuery(query, parameterValues, error, [](size_t, const ns::Dictionary&) { return true; });
}

std::optional<std::vector<ns::Dictionary>> MSRSqliteStore::recordsForQuery(const std::string& query,
                                                                           const ns::Array& parameterValues,
                                                                           ns::Error* error,
                                                                           const MSRRecordFilter& filter) {
  if (!check(!query.empty(), error, 1, "Received empty query for records for query")) return std::nullopt;
  if (!check(static_cast<bool>(filter), error, 1, "Received empty filter for selecting records")) return std::nullopt;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Query records failed. Database not open.")) return std::nullopt;
  if (!check(beginsWithSelect(query), error, 1, "Received invalid select query")) return std::nullopt;
  sqlite3_stmt* statement = statementForQuery(query, parameterValues, error);
  if (!statement) return std::nullopt;

  std::vector<ns::Dictionary> records;
  size_t rowsRead = 0;
  int result;
  while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
    ++rowsRead;
    ns::Dictionary record;
    int columns = sqlite3_column_count(statement);
    for (int column = 0; column < columns; ++column) {
      const char* name = sqlite3_column_name(statement, column);
      if (!name) {
        MSRMeasurement::monitor()->logWithLevel(4, 34003, "Failed to get column name");
        continue;
      }
      std::optional<ns::Value> value = valueAtColumn(column, statement);
      if (!value) {
        MSRMeasurement::monitor()->logWithLevel(4, 34004, "Value is nil for column", name);
        continue;
      }
      record.set(name, std::move(*value));
    }
    if (!filter(records.size(), record)) break;
    records.push_back(std::move(record));
  }
  // A query that fails before its first row is a failure, not an empty
  // table; one that fails later ends the list where it stopped.
  if (rowsRead == 0 && result != SQLITE_DONE && result != SQLITE_ROW) {
    setDatabaseError(error, "query records");
    cleanUpStatement(statement, query);
    return std::nullopt;
  }
  if (rowsRead > 0 && records.empty()) {
    MSRMeasurement::monitor()->logWithLevel(4, 34005, "Database contains records that were all filtered out");
  }
  cleanUpStatement(statement, query);
  return records;
}
