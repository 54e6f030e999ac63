// A thin owner of one SQLite connection for the object store: opening with
// the settings a store needs (write-ahead log, so a process killed in the
// middle of a save leaves the file as before or after it), running SQL,
// and a cache of prepared statements keyed by their text.
//
// Not thread-safe: the coordinator serialises every use of a connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace cd {

// One prepared statement in use; resets itself when the use ends (or is
// finalized then, when it was prepared for one use only).
class SqliteStatement {
 public:
  explicit SqliteStatement(sqlite3_stmt* stmt, bool owned = false) : stmt_(stmt), owned_(owned) {}
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  ~SqliteStatement();

  bool valid() const { return stmt_ != nullptr; }

  // Binds 1-based parameters. A null value binds SQL NULL; empty data binds
  // an empty blob (not NULL); a date binds its seconds since the reference date.
  void bind(int index, const ns::Value& value);
  // The same, but text and data are not copied: `value` must outlive this
  // use of the statement (whose end clears the bindings).
  void bindBorrowed(int index, const ns::Value& value);
  void bindInt64(int index, int64_t value);
  void bindNull(int index);

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int step();

  int64_t columnInt64(int column) const;
  bool columnIsNull(int column) const;
  // The column as a value of the given kind (see SqliteColumnKind).
  ns::Value columnText(int column) const;
  ns::Value columnInteger(int column) const;
  ns::Value columnDate(int column) const;
  ns::Value columnBlob(int column) const;

 private:
  sqlite3_stmt* stmt_;
  bool owned_;
};

class SqliteDatabase {
 public:
  SqliteDatabase() = default;
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;
  ~SqliteDatabase();

  // Opens (creating when absent) the file and sets the store's pragmas. A
  // damaged file is left as it is and answers the Cocoa error "corrupt
  // file" (259): one that is no database, whose header promises more pages
  // than it holds, or, after an unclean end (a write-ahead log left
  // behind), one that fails SQLite's quick check of every page. A clean
  // opening reads only the header and the schema, whatever the file's size.
  bool open(const std::string& path, ns::Error* error);
  void close();
  // The last connection's closing then leaves the write-ahead log as it is
  // instead of folding it into the file: a damaged file is written no more.
  void keepLogOnClose();
  bool isOpen() const { return db_ != nullptr; }

  // Runs one or more statements without results.
  bool exec(const std::string& sql, ns::Error* error);
  // A cached prepared statement; invalid (with *error set) when SQL fails to prepare.
  SqliteStatement prepare(const std::string& sql, ns::Error* error);
  // The cached statement itself (null, with *error set, when SQL fails to
  // prepare): callers that run it many times keep it and skip the lookup.
  // Valid until the connection closes.
  sqlite3_stmt* cachedStatement(const std::string& sql, ns::Error* error);
  // A statement for one use (SQL made for one call, such as a list of
  // keys), finalized when that use ends instead of kept.
  SqliteStatement prepareOnce(const std::string& sql, ns::Error* error);

  int64_t changes() const;
  // The connection's last error as an ns::Error with the given code. A
  // device that is full or read-only is said so in its description (the
  // platform's file-error words); SQLite's own text is then kept under
  // "NSDebugDescription".
  ns::Error lastError(int64_t code, const std::string& what) const;
  sqlite3* handle() const { return db_; }

 private:
  bool checkIntegrity(const std::string& path, bool thorough, ns::Error* error);

  sqlite3* db_ = nullptr;
  std::string path_;
  bool opening_ = false;  // inside open(): failures are said as the file not opening
  std::unordered_map<std::string, sqlite3_stmt*> cache_;
};

}  // namespace cd
