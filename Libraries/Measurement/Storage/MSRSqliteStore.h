// The one generic SQL layer of the measurement library: one SQLite 3 file,
// tables made and migrated from column lists, records as dictionaries, and
// blocks run inside exclusive transactions. The measurement database and the
// experiments database each own one store and issue SQL through nothing else.
//
//   ns::Error error;
//   auto store = MSRSqliteStore::initWithDatabasePath(path, &error);
//   store->ensureTableWithName("t", {{"name", "TEXT NOT NULL PRIMARY KEY"}, {"n", "INTEGER NOT NULL"}}, {}, &error);
//   store->upsertRecord(ns::Dictionary{{"name", "a"}, {"n", 1}}, "t", &error);
//   auto rows = store->recordsForQuery("SELECT rowid, * FROM t WHERE n > ?", {0}, &error);
//
// Opening creates the file and its directory, clears an immutable flag,
// excludes the file from backups and runs "PRAGMA integrity_check"; a file
// that cannot be opened or fails the check is deleted and created afresh,
// once (its rows are lost). The connection is serialized (full mutex) with
// SQLite's default journal and synchronous settings.
//
// Records. A record maps column names to values of four kinds: a string
// (UTF-8 text, copied), a number (a REAL when made from a float or double,
// else a 64-bit INTEGER), data (a BLOB) or null (NULL). Read back: INTEGER a
// 64-bit integer, REAL a double, TEXT a string, BLOB data (an empty blob
// reads as no value, so its column is left out of the record), NULL null.
// The statement texts follow the record's key order.
//
// Errors. An operation with an error out-parameter fills it (when given) on
// failure and leaves it alone on success; the domain is kMSRErrorDomain with
// code 1 for a bad argument, 2 for a closed database or an unusable schema
// and 3 for SQLite failures. Argument checks come first, then the open check,
// so a bad argument never reaches the connection. A SQLite failure reads
//   Database operation "<operation>" failed with sqlite code <n> and error message "<text>"
// with the context "<operation>,<code>,<A|NA>,<free>": A when the process may
// write the file, and free the decimal logarithm of the file system's free
// MiB (-1 under 1 MiB, empty when unknown).
//
// Table and column names are written into the SQL as given: they come from
// the program, never from data. Values always travel as bound parameters.
//
// Statements with "?" (and those without a literal WHERE) are prepared once
// and kept by their text; they are reset after each use.
//
// Threading: no lock of its own. Use a store from one serial queue only (the
// statement cache and the transactions rely on it).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

struct sqlite3;
struct sqlite3_stmt;

// Columns in order: (name, SQL type text), e.g. {"app_id", "TEXT NOT NULL"}.
// A pair named "PRIMARY KEY" is a table constraint whose text is its
// parenthesised column list, e.g. {"PRIMARY KEY", "(audience_id, filter_id)"}.
using MSRColumnInfo = std::vector<std::pair<std::string, std::string>>;

// Decides for each selected row, given its index among the rows accepted so
// far, whether it joins the result; false ends the selection.
using MSRRecordFilter = std::function<bool(size_t index, const ns::Dictionary& record)>;

class MSRSqliteStore {
 public:
  // Opens (or creates) the database; null with the error of the last
  // opening when neither the first opening nor the one after deleting the
  // file succeeded. An empty path fails with code 1.
  static std::shared_ptr<MSRSqliteStore> initWithDatabasePath(const std::string& path, ns::Error* error);
  ~MSRSqliteStore();
  MSRSqliteStore(const MSRSqliteStore&) = delete;
  MSRSqliteStore& operator=(const MSRSqliteStore&) = delete;

  // The open connection, null once closed.
  sqlite3* sqliteHandle() const { return sqliteHandle_; }
  const std::string& databasePath() const { return databasePath_; }

  // ---- Opening and closing

  bool openAndValidateDatabase(ns::Error* error);
  // "PRAGMA integrity_check" answers "ok".
  bool validateDatabaseWithError(ns::Error* error);
  // Finalizes the cached statements and closes; the store is closed
  // afterwards whatever SQLite answered, and never reopens by itself.
  void closeDatabase();
  // Closes and removes the file (clearing its immutable flag first); true
  // when there was no file.
  bool closeAndDeleteDatabase();
  void finalizeAndClearStatements();

  // ---- Schema

  // Creates the table when missing, then validates it: every elementary
  // column must be there, missing add-on columns are added (in list order),
  // unknown columns are kept when nullable and refused when NOT NULL.
  bool ensureTableWithName(const std::string& tableName, const MSRColumnInfo& elementaryColumnInfo,
                           const MSRColumnInfo& addOnColumnInfo, ns::Error* error);
  // The same from a create statement, the required names and the add-on
  // statements by column name (in the order they are to be added).
  bool ensureTableWithName(const std::string& tableName, const std::string& createSQL,
                           const std::vector<std::string>& requiredColumnNames, const ns::Dictionary& addOnColumns,
                           ns::Error* error);
  // As the first, then gives the columns named in `modifyColumnInfo` (name
  // to new type text) their new types: a table whose declared types differ
  // is rebuilt with its rows in one transaction.
  bool ensureTableWithName(const std::string& tableName, const MSRColumnInfo& elementaryColumnInfo,
                           const MSRColumnInfo& addOnColumnInfo, const ns::Dictionary& modifyColumnInfo,
                           ns::Error* error);
  // True, false, or none on failure.
  std::optional<bool> validateTableWithName(const std::string& tableName,
                                            const std::vector<std::string>& requiredColumnNames,
                                            const ns::Dictionary& addOnColumns, ns::Error* error);
  // Rebuilds the table (renamed to "<name>_old", made anew, rows copied, old
  // one dropped) inside one transaction when its declared types differ
  // from the lists; nothing when they agree.
  bool ensureSchemaOfTableWithName(const std::string& tableName, const MSRColumnInfo& elementaryColumnInfo,
                                   const MSRColumnInfo& addOnColumnInfo, ns::Error* error);
  bool dropTableWithName(const std::string& tableName, ns::Error* error);
  bool renameTable(const std::string& oldName, const std::string& newName, ns::Error* error);
  // Every row of the source into the destination, column by column in table
  // order (the column counts must agree).
  bool copyContentsFromTable(const std::string& sourceName, const std::string& destinationName, ns::Error* error);
  std::optional<bool> tableExists(const std::string& tableName, ns::Error* error);
  // Column names in table order.
  std::optional<std::vector<std::string>> columnsForTableWithName(const std::string& tableName, ns::Error* error);
  // Column name to declared type; columns declared without a type are left out.
  std::optional<ns::Dictionary> columnInfoForTableWithName(const std::string& tableName, ns::Error* error);

  // ---- Records

  // "INSERT OR REPLACE" of the record. A value of another kind than the
  // four fails with code 1.
  bool upsertRecord(const ns::Dictionary& record, const std::string& tableName, ns::Error* error);
  // Sets the record's columns on the rows whose `columnName` equals `columnValue`.
  bool updateRecord(const ns::Dictionary& record, const std::string& tableName, const std::string& columnName,
                    const std::optional<ns::Value>& columnValue, ns::Error* error);
  // Sets one column on every row.
  bool updateAllRecordsInTableWithName(const std::string& tableName, const std::string& columnName,
                                       const std::optional<ns::Value>& columnValue, ns::Error* error);
  // Adds `value` to an INTEGER column on the rows matching `condition` (an
  // SQL condition with "?" for `parameterValues`).
  bool increaseColumn(const std::string& columnName, int64_t value, const std::string& tableName,
                      const std::string& condition, const ns::Array& parameterValues, ns::Error* error);
  bool deleteRecordFromTableWithName(const std::string& tableName, const std::string& columnName,
                                     const std::optional<ns::Value>& columnValue, ns::Error* error);
  // The number of rows deleted, none on failure.
  std::optional<int64_t> deleteRecordsFromTableWithName(const std::string& tableName, const std::string& condition,
                                                        const ns::Array& parameterValues, ns::Error* error);
  bool deleteAllRecordsFromTableWithName(const std::string& tableName, ns::Error* error);
  std::optional<int64_t> rowCountForTableWithName(const std::string& tableName, ns::Error* error);
  // Rows whose `columnName` equals `columnValue` (all rows when either is
  // missing).
  std::optional<int64_t> rowCountForTableWithName(const std::string& tableName, const std::string& columnName,
                                                  const std::optional<ns::Value>& columnValue, ns::Error* error);
  // The rows of a query beginning with "select" (any case), one record per
  // row named by the result columns; none on failure.
  std::optional<std::vector<ns::Dictionary>> recordsForQuery(const std::string& query,
                                                             const ns::Array& parameterValues, ns::Error* error);
  std::optional<std::vector<ns::Dictionary>> recordsForQuery(const std::string& query,
                                                             const ns::Array& parameterValues, ns::Error* error,
                                                             const MSRRecordFilter& filter);
  // Column 0 of the first row as a number; none without an error for NULL.
  std::optional<ns::Value> numberForQuery(const std::string& query, const ns::Array& parameterValues,
                                          ns::Error* error);

  // ---- Statements

  // One statement; text after it fails with code 1.
  sqlite3_stmt* prepareSQL(const std::string& sql, ns::Error* error);
  // A prepared statement with the values bound, from or into the cache.
  sqlite3_stmt* statementForQuery(const std::string& query, ns::Error* error);
  sqlite3_stmt* statementForQuery(const std::string& query, const ns::Array& parameterValues, ns::Error* error);
  // Binds the values to parameters 1, 2, ... (after clearing the old ones).
  // Data is bound without a copy: it must outlive the statement's run.
  bool bindValues(const ns::Array& values, sqlite3_stmt* statement, ns::Error* error);
  // Ends a use of a statement: a cached one is reset, any other finalized.
  void cleanUpStatement(sqlite3_stmt* statement, const std::string& query);
  // Prepares (uncached) and runs one statement.
  bool executeSQL(const std::string& sql, ns::Error* error);
  // Steps the statement once and finalizes it; true when it finished.
  bool executeSQLStatement(sqlite3_stmt* statement, ns::Error* error);
  // The value of a column of the current row; none for an empty blob or an
  // unknown type.
  static std::optional<ns::Value> valueAtColumn(int column, sqlite3_stmt* statement);

  // ---- Transactions

  // Runs the block between "BEGIN EXCLUSIVE TRANSACTION" and "END
  // TRANSACTION". A block answering false, a failing end (a deferred
  // constraint, a full disk) and an exception thrown by the block all roll
  // back; the exception is thrown on. Transactions do not nest: a block
  // that starts another fails at the inner begin.
  bool performTransactionWithError(ns::Error* error, const std::function<bool()>& block);
  bool beginTransaction();
  bool endTransaction();
  bool rollbackTransaction();

  // ---- Errors

  // Fills the out-parameter with code 3, the description and the context.
  void setDatabaseError(ns::Error* error, const std::string& operation);
  std::optional<std::string> errorDescriptionForDatabaseOperation(const std::string& operation);
  std::optional<std::string> lastErrorMessage();
  std::string monitorContextForDatabaseOperation(const std::string& operation);

 private:
  explicit MSRSqliteStore(std::string path);

  // Upsert and update statements, prepared without the cache and bound.
  sqlite3_stmt* upsertStatementForRecord(const ns::Dictionary& record, const std::string& tableName,
                                         ns::Error* error);
  sqlite3_stmt* updateStatementForRecord(const ns::Dictionary& record, const std::string& tableName,
                                         const std::string& columnName, const std::optional<ns::Value>& columnValue,
                                         ns::Error* error);
  // Runs a statement from the cache to its end (for UPDATE and DELETE).
  bool runCachedStatement(const std::string& query, const ns::Array& parameterValues, const std::string& operation,
                          ns::Error* error);
  bool executeFixedStatement(const char* sql);
  // Steps "PRAGMA table_info(<table>)", handing each row to `row` until it
  // answers false; false with the database error of `operation` when
  // SQLite fails.
  bool readTableInfo(const std::string& tableName, const std::string& operation, ns::Error* error,
                     const std::function<bool(sqlite3_stmt* row)>& row);

  sqlite3* sqliteHandle_ = nullptr;
  const std::string databasePath_;
  std::unordered_map<std::string, sqlite3_stmt*> statementCache_;
};
