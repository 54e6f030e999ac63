// Preparing, caching, binding and running statements, and reading values.
#include <sqlite3.h>

#include <cctype>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSRSqliteStore.h"
#include "Libraries/Measurement/Storage/MSRSqliteStoreSupport.h"

using msr_store::check;

namespace {

bool containsWhere(const std::string& query) {
  std::string upper = query;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper.find("WHERE") != std::string::npos;
}

}  // namespace

int msr_store::bindValue(sqlite3_stmt* statement, int index, const ns::Value& value) {
  if (const std::string* text = value.asString()) {
    return sqlite3_bind_text64(statement, index, text->data(), text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  }
  if (const ns::Data* data = value.asData()) {
    // An empty vector may have no buffer, and a null pointer binds NULL.
    if (data->empty()) return sqlite3_bind_zeroblob(statement, index, 0);
    return sqlite3_bind_blob64(statement, index, data->data(), data->size(), SQLITE_STATIC);
  }
  if (value.isNumber()) {
    ns::Value::NumberKind kind = value.numberKind();
    if (kind == ns::Value::NumberKind::Float || kind == ns::Value::NumberKind::Double) {
      return sqlite3_bind_double(statement, index, value.doubleValue());
    }
    return sqlite3_bind_int64(statement, index, static_cast<sqlite3_int64>(value.integerValue()));
  }
  if (value.isNull()) return sqlite3_bind_null(statement, index);
  return SQLITE_MISMATCH;
}

sqlite3_stmt* MSRSqliteStore::prepareSQL(const std::string& sql, ns::Error* error) {
  if (!check(!sql.empty(), error, 1, "Received empty SQL string to prepare")) return nullptr;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Prepare SQL failed. Database not open.")) return nullptr;
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  int result = sqlite3_prepare_v3(sqliteHandle_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                  &statement, &tail);
  if (result != SQLITE_OK) {
    result = sqlite3_prepare_v2(sqliteHandle_, sql.data(), static_cast<int>(sql.size()), &statement, &tail);
  }
  if (result != SQLITE_OK) {
    setDatabaseError(error, "prepare statement");
    return nullptr;
  }
  // Only white space or comments: SQLite answers OK with no statement.
  if (!check(statement != nullptr, error, 1, "Received empty SQL string to prepare")) return nullptr;
  if (tail && tail < sql.data() + sql.size()) {
    sqlite3_finalize(statement);
    check(false, error, 1, "Query contained more than one SQL statement.");
    return nullptr;
  }
  return statement;
}

sqlite3_stmt* MSRSqliteStore::statementForQuery(const std::string& query, ns::Error* error) {
  return statementForQuery(query, {}, error);
}

sqlite3_stmt* MSRSqliteStore::statementForQuery(const std::string& query, const ns::Array& parameterValues,
                                                ns::Error* error) {
  sqlite3_stmt* statement = nullptr;
  if (auto cached = statementCache_.find(query); cached != statementCache_.end()) {
    statement = cached->second;
  } else {
    if (!check(sqliteHandle_ != nullptr, error, 2, "Statement for query failed. Database not open.")) return nullptr;
    bool hasPlaceholder = query.find('?') != std::string::npos;
    if (hasPlaceholder && !check(!parameterValues.empty(), error, 1, "Received empty parameters")) return nullptr;
    statement = prepareSQL(query, error);
    if (!statement) return nullptr;
    // A literal condition makes a text of its own for every value: such
    // statements are not kept.
    if (hasPlaceholder || !containsWhere(query)) statementCache_[query] = statement;
  }
  if (!parameterValues.empty() && !bindValues(parameterValues, statement, error)) {
    cleanUpStatement(statement, query);
    return nullptr;
  }
  return statement;
}

bool MSRSqliteStore::bindValues(const ns::Array& values, sqlite3_stmt* statement, ns::Error* error) {
  if (!check(statement != nullptr, error, 1, "Failed to bind to NULL statement")) return false;
  sqlite3_clear_bindings(statement);
  bool ok = true;
  for (size_t i = 0; i < values.size(); ++i) {
    if (msr_store::bindValue(statement, static_cast<int>(i + 1), values[i]) != SQLITE_OK) {
      if (ok) setDatabaseError(error, "bind values");
      ok = false;
    }
  }
  return ok;
}

void MSRSqliteStore::cleanUpStatement(sqlite3_stmt* statement, const std::string& query) {
  if (!statement) return;
  auto cached = statementCache_.find(query);
  if (cached == statementCache_.end()) {
    sqlite3_finalize(statement);
    return;
  }
  if (cached->second != statement) {
    MSRMeasurement::monitor()->logWithLevel(5, 34016, "Statement is not the same one in the cache");
    // Not the cache's own: nothing else would ever finalize it.
    sqlite3_finalize(statement);
    return;
  }
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
}

bool MSRSqliteStore::executeSQL(const std::string& sql, ns::Error* error) {
  if (!check(!sql.empty(), error, 1, "Received empty SQL string to execute")) return false;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Execute SQL failed. Database not open.")) return false;
  sqlite3_stmt* statement = prepareSQL(sql, error);
  if (!statement) return false;
  return executeSQLStatement(statement, error);
}

bool MSRSqliteStore::executeSQLStatement(sqlite3_stmt* statement, ns::Error* error) {
  if (!check(statement != nullptr, error, 1, "Execute SQL statement failed. Statement is NULL.")) return false;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Execute SQL statement failed. Database not open.")) {
    sqlite3_finalize(statement);
    return false;
  }
  bool done = sqlite3_step(statement) == SQLITE_DONE;
  if (!done) setDatabaseError(error, "execute statement");
  sqlite3_finalize(statement);
  return done;
}

std::optional<ns::Value> MSRSqliteStore::valueAtColumn(int column, sqlite3_stmt* statement) {
  if (!statement) return std::nullopt;
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
      return ns::Value(static_cast<long long>(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
      return ns::Value(sqlite3_column_double(statement, column));
    case SQLITE_TEXT: {
      const unsigned char* text = sqlite3_column_text(statement, column);
      int length = sqlite3_column_bytes(statement, column);
      if (!text) return std::nullopt;
      return ns::Value(std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
    }
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(statement, column));
      int length = sqlite3_column_bytes(statement, column);
      if (!bytes || length == 0) return std::nullopt;
      return ns::Value(ns::Data(bytes, bytes + length));
    }
    case SQLITE_NULL:
      return ns::Value(ns::Null{});
    default:
      return std::nullopt;
  }
}
