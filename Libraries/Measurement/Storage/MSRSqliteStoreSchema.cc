// Tables made, validated and migrated from column lists.
#include <sqlite3.h>

#include <map>
#include <set>

#include "Libraries/Measurement/Storage/MSRSqliteStore.h"
#include "Libraries/Measurement/Storage/MSRSqliteStoreSupport.h"

using msr_store::check;

namespace {

constexpr const char* kPrimaryKey = "PRIMARY KEY";

std::string firstWord(const std::string& text) { return text.substr(0, text.find(' ')); }

}  // namespace

bool MSRSqliteStore::ensureTableWithName(const std::string& tableName, const MSRColumnInfo& elementaryColumnInfo,
                                         const MSRColumnInfo& addOnColumnInfo, ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for ensure table")) return false;
  if (!check(!elementaryColumnInfo.empty(), error, 1, "Received empty elementary column info for ensure table")) {
    return false;
  }
  std::string createSQL = "CREATE TABLE IF NOT EXISTS " + tableName + " ( ";
  std::vector<std::string> requiredColumnNames;
  for (const auto& [name, type] : elementaryColumnInfo) {
    createSQL += name + " " + type + ", ";
    if (name != kPrimaryKey) requiredColumnNames.push_back(name);
  }
  createSQL = createSQL.substr(0, createSQL.size() - 2) + ");";
  // Kept in list order: columns are added in that order, so a table grown
  // over several versions ends with the same column order as a new one.
  ns::Dictionary addOnColumns;
  for (const auto& [name, type] : addOnColumnInfo) {
    if (name.empty()) continue;
    addOnColumns.set(name, "ALTER TABLE " + tableName + " ADD COLUMN " + name + " " + type);
  }
  return ensureTableWithName(tableName, createSQL, requiredColumnNames, addOnColumns, error);
}

bool MSRSqliteStore::ensureTableWithName(const std::string& tableName, const std::string& createSQL,
                                         const std::vector<std::string>& requiredColumnNames,
                                         const ns::Dictionary& addOnColumns, ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for ensure table")) return false;
  if (!check(!requiredColumnNames.empty(), error, 1, "Received no table columns for ensure table")) return false;
  if (!check(!createSQL.empty(), error, 1, "Received empty create statement for ensure table")) return false;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Ensure table failed. Database not open.")) return false;
  std::optional<bool> exists = tableExists(tableName, error);
  if (!exists) return false;
  if (!*exists && !executeSQL(createSQL, error)) return false;
  return validateTableWithName(tableName, requiredColumnNames, addOnColumns, error).value_or(false);
}

bool MSRSqliteStore::ensureTableWithName(const std::string& tableName, const MSRColumnInfo& elementaryColumnInfo,
                                         const MSRColumnInfo& addOnColumnInfo,
                                         const ns::Dictionary& modifyColumnInfo, ns::Error* error) {
  if (!ensureTableWithName(tableName, elementaryColumnInfo, addOnColumnInfo, error)) return false;
  if (modifyColumnInfo.empty()) return true;
  auto modified = [&](const MSRColumnInfo& columns) {
    MSRColumnInfo out;
    for (const auto& [name, type] : columns) {
      const ns::Value* newType = modifyColumnInfo.find(name);
      out.emplace_back(name, newType && newType->isString() ? *newType->asString() : type);
    }
    return out;
  };
  // The table constraint stays in the list: a rebuilt table keeps its
  // primary key, so an upsert still replaces its row.
  return ensureSchemaOfTableWithName(tableName, modified(elementaryColumnInfo), modified(addOnColumnInfo), error);
}

std::optional<bool> MSRSqliteStore::validateTableWithName(const std::string& tableName,
                                                          const std::vector<std::string>& requiredColumnNames,
                                                          const ns::Dictionary& addOnColumns, ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for validate table")) return std::nullopt;
  if (!check(!requiredColumnNames.empty(), error, 1, "Received no table columns for validate table")) {
    return std::nullopt;
  }
  if (!check(sqliteHandle_ != nullptr, error, 2, "Validate table failed. Database not open.")) return std::nullopt;
  std::optional<std::vector<std::string>> columns = columnsForTableWithName(tableName, error);
  if (!columns) return std::nullopt;
  std::set<std::string> existing(columns->begin(), columns->end());
  if (!check(!existing.empty(), error, 2, "Table is missing required columns")) return std::nullopt;

  for (const auto& name : requiredColumnNames) {
    if (!check(existing.contains(name), error, 2, "Table is missing required columns")) return false;
  }
  for (const auto& name : requiredColumnNames) existing.erase(name);

  for (const auto& [name, statement] : addOnColumns) {
    if (existing.erase(name) > 0) continue;
    if (!check(statement.isString(), error, 2, "Failed to create alter statement for table")) return false;
    if (!executeSQL(*statement.asString(), error)) return false;
  }
  if (existing.empty()) return true;

  // Columns a newer version added are kept when rows may leave them empty;
  // one that must be filled would make every insert of ours fail.
  bool unknownRequired = false;
  if (!readTableInfo(tableName, "validate table", error, [&](sqlite3_stmt* row) {
        const unsigned char* name = sqlite3_column_text(row, 1);
        unknownRequired = name && existing.contains(reinterpret_cast<const char*>(name)) &&
                          sqlite3_column_int(row, 3) != 0;
        return !unknownRequired;
      })) {
    return false;
  }
  return check(!unknownRequired, error, 2, "Table contains unknown non-optional columns");
}

bool MSRSqliteStore::ensureSchemaOfTableWithName(const std::string& tableName,
                                                 const MSRColumnInfo& elementaryColumnInfo,
                                                 const MSRColumnInfo& addOnColumnInfo, ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for ensure table schema")) return false;
  if (!check(!elementaryColumnInfo.empty(), error, 1, "Received empty column info for ensure table schema")) {
    return false;
  }
  std::optional<ns::Dictionary> current = columnInfoForTableWithName(tableName, error);
  if (!current) return false;
  if (!check(!current->empty(), error, 2, "Table does not exist for ensure table schema")) return false;

  std::map<std::string, std::string> declared, expected;
  for (const auto& [name, type] : *current) declared[name] = type.stringValue();
  for (const auto& [name, type] : elementaryColumnInfo) {
    if (name.empty() || type.empty() || name == kPrimaryKey) continue;
    expected[name] = firstWord(type);
  }
  for (const auto& [name, type] : addOnColumnInfo) {
    if (name.empty() || type.empty()) continue;
    expected[name] = type;
  }
  if (declared == expected) return true;

  const std::string oldName = tableName + "_old";
  ns::Error stepError;
  ns::Error transactionError;
  bool rebuilt = performTransactionWithError(&transactionError, [&] {
    return renameTable(tableName, oldName, &stepError) &&
           ensureTableWithName(tableName, elementaryColumnInfo, addOnColumnInfo, &stepError) &&
           copyContentsFromTable(oldName, tableName, &stepError) && dropTableWithName(oldName, &stepError);
  });
  if (!rebuilt) ns::setError(error, transactionError.domain().empty() ? stepError : transactionError);
  return rebuilt;
}

bool MSRSqliteStore::dropTableWithName(const std::string& tableName, ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for drop table")) return false;
  return executeSQL("DROP TABLE " + tableName, error);
}

bool MSRSqliteStore::renameTable(const std::string& oldName, const std::string& newName, ns::Error* error) {
  if (!check(!oldName.empty(), error, 1, "Received empty old name for rename table")) return false;
  if (!check(!newName.empty(), error, 1, "Received empty new name for rename table")) return false;
  if (!check(oldName != newName, error, 1, "Received duplicate name for rename table")) return false;
  return executeSQL("ALTER TABLE " + oldName + " RENAME TO " + newName, error);
}

bool MSRSqliteStore::copyContentsFromTable(const std::string& sourceName, const std::string& destinationName,
                                           ns::Error* error) {
  if (!check(!sourceName.empty(), error, 1, "Received empty source name for copy table")) return false;
  if (!check(!destinationName.empty(), error, 1, "Received empty destination name for copy table")) return false;
  if (!check(sourceName != destinationName, error, 1, "Received duplicate name for copy table")) return false;
  return executeSQL("INSERT INTO " + destinationName + " SELECT * FROM " + sourceName, error);
}

std::optional<bool> MSRSqliteStore::tableExists(const std::string& tableName, ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for table exists")) return std::nullopt;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Table exists failed. Database not open.")) return std::nullopt;
  static const std::string query = "SELECT name FROM sqlite_master WHERE type='table' AND name=?";
  sqlite3_stmt* statement = statementForQuery(query, ns::Array{tableName}, error);
  if (!statement) return std::nullopt;
  int result = sqlite3_step(statement);
  std::optional<bool> exists;
  if (result == SQLITE_ROW || result == SQLITE_DONE) {
    exists = result == SQLITE_ROW;
  } else {
    setDatabaseError(error, "table exists");
  }
  cleanUpStatement(statement, query);
  return exists;
}

bool MSRSqliteStore::readTableInfo(const std::string& tableName, const std::string& operation, ns::Error* error,
                                   const std::function<bool(sqlite3_stmt* row)>& row) {
  std::string query = "PRAGMA table_info(" + tableName + ")";
  sqlite3_stmt* statement = statementForQuery(query, error);
  if (!statement) return false;
  int result;
  while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
    if (!row(statement)) break;
  }
  bool failed = result != SQLITE_ROW && result != SQLITE_DONE;
  if (failed) setDatabaseError(error, operation);
  cleanUpStatement(statement, query);
  return !failed;
}

std::optional<std::vector<std::string>> MSRSqliteStore::columnsForTableWithName(const std::string& tableName,
                                                                                ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for get columns")) return std::nullopt;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Get table columns failed. Database not open.")) {
    return std::nullopt;
  }
  std::vector<std::string> names;
  if (!readTableInfo(tableName, "get table columns", error, [&](sqlite3_stmt* row) {
        const unsigned char* name = sqlite3_column_text(row, 1);
        if (name && *name) names.emplace_back(reinterpret_cast<const char*>(name));
        return true;
      })) {
    return std::nullopt;
  }
  return names;
}

std::optional<ns::Dictionary> MSRSqliteStore::columnInfoForTableWithName(const std::string& tableName,
                                                                         ns::Error* error) {
  if (!check(!tableName.empty(), error, 1, "Received empty table name for column info")) return std::nullopt;
  if (!check(sqliteHandle_ != nullptr, error, 2, "Get table column info failed. Database not open.")) {
    return std::nullopt;
  }
  ns::Dictionary info;
  if (!readTableInfo(tableName, "get table column info", error, [&](sqlite3_stmt* row) {
        const unsigned char* name = sqlite3_column_text(row, 1);
        const unsigned char* type = sqlite3_column_text(row, 2);
        if (name && type && *type) {
          info.set(reinterpret_cast<const char*>(name), std::string(reinterpret_cast<const char*>(type)));
        }
        return true;
      })) {
    return std::nullopt;
  }
  return info;
}
