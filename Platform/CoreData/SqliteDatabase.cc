#include "Platform/CoreData/SqliteDatabase.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "Platform/CoreData/CoreDataErrors.h"
#include "Platform/CoreData/TextMatching.h"
#include "Platform/Foundation/FileManager.h"

namespace cd {

SqliteStatement::~SqliteStatement() {
  if (stmt_ && owned_) {
    sqlite3_finalize(stmt_);
  } else if (stmt_) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

namespace {

void bindValue(sqlite3_stmt* stmt, int index, const ns::Value& value, sqlite3_destructor_type keep) {
  switch (value.type()) {
    case ns::Value::Type::Null:
      sqlite3_bind_null(stmt, index);
      break;
    case ns::Value::Type::Bool:
    case ns::Value::Type::Integer:
      sqlite3_bind_int64(stmt, index, value.integerValue());
      break;
    case ns::Value::Type::Real:
      sqlite3_bind_double(stmt, index, value.doubleValue());
      break;
    case ns::Value::Type::String: {
      const std::string& s = *value.asString();
      sqlite3_bind_text(stmt, index, s.data(), static_cast<int>(s.size()), keep);
      break;
    }
    case ns::Value::Type::Data: {
      const ns::Data& d = *value.asData();
      if (d.empty()) {
        sqlite3_bind_zeroblob(stmt, index, 0);
      } else {
        sqlite3_bind_blob(stmt, index, d.data(), static_cast<int>(d.size()), keep);
      }
      break;
    }
    case ns::Value::Type::Date:
      sqlite3_bind_double(stmt, index, value.asDate()->timeIntervalSinceReferenceDate());
      break;
    default:
      // Arrays and dictionaries have no column type; the model never stores them.
      sqlite3_bind_null(stmt, index);
      break;
  }
}

}  // namespace

void SqliteStatement::bind(int index, const ns::Value& value) { bindValue(stmt_, index, value, SQLITE_TRANSIENT); }

void SqliteStatement::bindBorrowed(int index, const ns::Value& value) {
  bindValue(stmt_, index, value, SQLITE_STATIC);
}

void SqliteStatement::bindInt64(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
void SqliteStatement::bindNull(int index) { sqlite3_bind_null(stmt_, index); }

int SqliteStatement::step() { return sqlite3_step(stmt_); }

int64_t SqliteStatement::columnInt64(int column) const { return sqlite3_column_int64(stmt_, column); }

bool SqliteStatement::columnIsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

ns::Value SqliteStatement::columnText(int column) const {
  // Only SQL NULL (or a failed conversion) yields no text: the type is
  // asked only then, not for every value.
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  if (!text) return columnIsNull(column) ? ns::Value() : ns::Value(std::string());
  int n = sqlite3_column_bytes(stmt_, column);
  return ns::Value(std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(n)));
}

ns::Value SqliteStatement::columnInteger(int column) const {
  if (columnIsNull(column)) return {};
  return ns::Value(static_cast<int64_t>(sqlite3_column_int64(stmt_, column)));
}

ns::Value SqliteStatement::columnDate(int column) const {
  if (columnIsNull(column)) return {};
  return ns::Value(ns::Date(sqlite3_column_double(stmt_, column)));
}

ns::Value SqliteStatement::columnBlob(int column) const {
  if (columnIsNull(column)) return {};
  const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  int n = sqlite3_column_bytes(stmt_, column);
  return ns::Value(ns::Data(p, p + n));
}

namespace {

constexpr const char* kDebugDescriptionKey = "NSDebugDescription";

// A device with no room left, or one that cannot be written at all, is
// what a person must be told in words, not as "disk I/O error": the text
// for such a failure of `rc` on the file at `path`, or nothing for others.
std::optional<std::string> deviceStateText(sqlite3* db, int rc, const std::string& path, bool opening) {
  const int primary = rc & 0xff;
  if (primary != SQLITE_FULL && primary != SQLITE_IOERR && primary != SQLITE_CANTOPEN && primary != SQLITE_READONLY)
    return std::nullopt;
  const int sys = db ? sqlite3_system_errno(db) : 0;
  const std::string file =
      "The file \u201c" + std::filesystem::path(path).filename().string() + "\u201d couldn\u2019t be " + (opening ? "opened" : "saved");
  if (primary == SQLITE_FULL || sys == ENOSPC || sys == EDQUOT) return file + " because there isn\u2019t enough space.";
  if (primary == SQLITE_READONLY || sys == EROFS) return file + " because the volume is read only.";
  // SQLite's last system error may be of its journal's second try (the file
  // not being there): the folder says whether the device can be written.
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (primary == SQLITE_CANTOPEN && ::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0) {
    if (errno == EROFS) return file + " because the volume is read only.";
    if (errno == EACCES) return file + " because you don\u2019t have permission to write to it.";
  }
  return std::nullopt;
}

// The error of a failed call: `text` as its description unless the device
// is full or read-only, which is said instead (SQLite's text kept aside).
ns::Error sqliteError(sqlite3* db, int64_t code, int rc, const std::string& text, const std::string& path,
                      bool opening) {
  ns::Dictionary info{{ns::kLocalizedDescriptionKey, ns::Value(text)},
                      {"NSSQLiteErrorDomain", ns::Value(static_cast<int64_t>(rc))}};
  if (auto said = deviceStateText(db, rc, path, opening)) {
    info.set(ns::kLocalizedDescriptionKey, ns::Value(*said));
    info.set(kDebugDescriptionKey, ns::Value(text));
    info.set(ns::kFilePathErrorKey, ns::Value(path));
  }
  return ns::Error(ns::kCocoaErrorDomain, code, std::move(info));
}

void containsFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
  if (sqlite3_value_type(arguments[0]) != SQLITE_TEXT || sqlite3_value_type(arguments[1]) != SQLITE_TEXT) {
    sqlite3_result_int(context, 0);
    return;
  }
  auto text = [&](int i) {
    const char* bytes = reinterpret_cast<const char*>(sqlite3_value_text(arguments[i]));
    return std::string_view(bytes ? bytes : "", static_cast<size_t>(sqlite3_value_bytes(arguments[i])));
  };
  const int64_t options = sqlite3_value_int64(arguments[2]);
  sqlite3_result_int(context, containsForMatching(text(0), text(1), options & 1, options & 2) ? 1 : 0);
}

// -1 when there is no such file.
int64_t fileSize(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

uint32_t bigEndian(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

// Why a database file's header shows it cut short, if it does. Files that
// cannot be read, are empty (a new store) or are no database at all are
// left to SQLite, which says so when it reads them.
std::optional<std::string> headerDamage(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info;
  unsigned char header[100];
  ssize_t got = ::fstat(fd, &info) == 0 && info.st_size > 0 ? ::pread(fd, header, sizeof header, 0) : 0;
  ::close(fd);
  if (got <= 0) return std::nullopt;
  static const char kMagic[] = "SQLite format 3";
  if (got < 16 || std::memcmp(header, kMagic, 16) != 0) return std::nullopt;
  if (got < static_cast<ssize_t>(sizeof header)) return "its header is cut short";
  uint32_t pageSize = bigEndian(header + 16, 2);
  if (pageSize == 1) pageSize = 65536;
  // The page count is the header's own only while the file's change
  // counter and the count's "valid for" stamp agree.
  const uint32_t pages = bigEndian(header + 28, 4);
  if (pages == 0 || bigEndian(header + 24, 4) != bigEndian(header + 92, 4)) return std::nullopt;
  const uint64_t promised = uint64_t{pages} * pageSize;
  if (promised > static_cast<uint64_t>(info.st_size)) {
    return "it is cut short (" + std::to_string(info.st_size) + " of " + std::to_string(promised) + " bytes)";
  }
  return std::nullopt;
}

// The connections open in this process. Those still open when it ends
// are closed then (its last connection folds the log into the file and
// removes it), so that a clean end is told from an unclean one at the next
// opening. Never destroyed: a store may close after the handler ran.
struct OpenDatabases {
  std::mutex mutex;
  std::unordered_set<SqliteDatabase*> open;

  static OpenDatabases& shared() {
    static OpenDatabases* instance = [] {
      auto* made = new OpenDatabases;
      std::atexit([] {
        std::vector<SqliteDatabase*> left;
        {
          std::lock_guard lock(shared().mutex);
          left.assign(shared().open.begin(), shared().open.end());
        }
        for (SqliteDatabase* db : left) db->close();
      });
      return made;
    }();
    return *instance;
  }
};

int localizedCollation(void*, int lengthA, const void* a, int lengthB, const void* b) {
  return localizedCaseInsensitiveCompare(std::string_view(static_cast<const char*>(a), static_cast<size_t>(lengthA)),
                                         std::string_view(static_cast<const char*>(b), static_cast<size_t>(lengthB)));
}

}  // namespace

SqliteDatabase::~SqliteDatabase() { close(); }

bool SqliteDatabase::open(const std::string& path, ns::Error* error) {
  close();
  // A store closed cleanly leaves no write-ahead log (the last connection
  // folds it in and removes it); one that is there and holds frames says
  // that the last writer ended without closing (killed, crashed) or is
  // still at work, and only then is every page worth reading.
  const bool uncleanEnd = fileSize(path + "-wal") > 0;
  path_ = path;
  opening_ = true;
  struct Opened {
    bool& flag;
    ~Opened() { flag = false; }
  } opened{opening_};
  int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    ns::setError(error, lastError(kPersistentStoreOpenError, "open " + path));
    close();
    return false;
  }
  {
    auto& registry = OpenDatabases::shared();
    std::lock_guard lock(registry.mutex);
    registry.open.insert(this);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, 10000);
  sqlite3_create_function_v2(db_, kContainsFunction, 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, containsFunction,
                             nullptr, nullptr, nullptr);
  sqlite3_create_collation_v2(db_, kLocalizedCollation, SQLITE_UTF8, nullptr, localizedCollation, nullptr);
  // A damaged file (cut short, overwritten) must not open: a store that
  // reads part of its rows would lose what is written next. The check only
  // reads, so a damaged file is left exactly as it was.
  if (!checkIntegrity(path, uncleanEnd, error)) {
    keepLogOnClose();
    close();
    return false;
  }
  // A file the device will not let us write (read-only file or folder)
  // opens read-only: every edit made on it would be lost at the first save.
  if (sqlite3_db_readonly(db_, "main") == 1) {
    ns::Dictionary info{{ns::kLocalizedDescriptionKey, ns::Value("The file \"" + path + "\" is read-only.")},
                        {ns::kFilePathErrorKey, ns::Value(path)}};
    ns::setError(error, ns::Error(ns::kCocoaErrorDomain, kPersistentStoreOpenError, std::move(info)));
    close();
    return false;
  }
  // The write-ahead log keeps the main file intact until a checkpoint copies
  // whole committed transactions, so a killed writer cannot damage it;
  // NORMAL sync is safe against process death (the log is in the OS cache).
  if (!exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error)) {
    close();
    return false;
  }
  return true;
}

bool SqliteDatabase::checkIntegrity(const std::string& path, bool thorough, ns::Error* error) {
  auto damaged = [&](const std::string& why) {
    ns::Dictionary info{{ns::kLocalizedDescriptionKey, ns::Value("The file \"" + path + "\" is damaged: " + why + ".")},
                        {ns::kFilePathErrorKey, ns::Value(path)}};
    ns::setError(error, ns::Error(ns::kCocoaErrorDomain, ns::kFileReadCorruptFileError, std::move(info)));
    return false;
  };
  // Without a log the file alone is the database, so its header must not
  // promise more pages than it holds. With one, a checkpoint cut short may
  // have left exactly that, which the log repairs: the full check decides.
  if (!thorough) {
    if (auto why = headerDamage(path)) return damaged(*why);
  }
  // The cheap check reads the schema, which a file that is no database (or
  // whose first page was overwritten) fails; the full one reads every page.
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, thorough ? "PRAGMA quick_check(1)" : "SELECT count(*) FROM sqlite_master", -1,
                              &stmt, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
  std::string verdict;
  if (rc == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(stmt, 0);
    verdict = text ? reinterpret_cast<const char*>(text) : "";
  }
  sqlite3_finalize(stmt);
  if (rc == SQLITE_ROW && (!thorough || verdict == "ok")) return true;
  // A check that could not run (a read-only folder, a missing permission)
  // says nothing of the file's contents: it is not called damaged.
  const int primary = sqlite3_extended_errcode(db_) & 0xff;
  if (rc != SQLITE_ROW && primary != SQLITE_CORRUPT && primary != SQLITE_NOTADB) {
    ns::Error failure = lastError(kPersistentStoreOpenError, "open " + path);
    failure.userInfo().set(ns::kFilePathErrorKey, ns::Value(path));
    ns::setError(error, std::move(failure));
    return false;
  }
  const int code = sqlite3_extended_errcode(db_);
  if (!damaged(rc == SQLITE_ROW ? verdict : sqlite3_errmsg(db_))) {
    if (rc != SQLITE_ROW && error) error->userInfo().set("NSSQLiteErrorDomain", static_cast<int64_t>(code));
  }
  return false;
}

void SqliteDatabase::keepLogOnClose() {
  if (db_) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

void SqliteDatabase::close() {
  if (!db_) return;
  {
    auto& registry = OpenDatabases::shared();
    std::lock_guard lock(registry.mutex);
    registry.open.erase(this);
  }
  for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
  cache_.clear();
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool SqliteDatabase::exec(const std::string& sql, ns::Error* error) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    std::string text = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    ns::setError(error, sqliteError(db_, kPersistentStoreOperationError, sqlite3_extended_errcode(db_), text, path_, opening_));
    return false;
  }
  return true;
}

SqliteStatement SqliteDatabase::prepare(const std::string& sql, ns::Error* error) {
  return SqliteStatement(cachedStatement(sql, error));
}

sqlite3_stmt* SqliteDatabase::cachedStatement(const std::string& sql, ns::Error* error) {
  auto it = cache_.find(sql);
  if (it != cache_.end()) return it->second;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                              nullptr);
  if (rc != SQLITE_OK) {
    ns::setError(error, lastError(kPersistentStoreOperationError, "prepare " + sql));
    return nullptr;
  }
  cache_.emplace(sql, stmt);
  return stmt;
}

SqliteStatement SqliteDatabase::prepareOnce(const std::string& sql, ns::Error* error) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
    ns::setError(error, lastError(kPersistentStoreOperationError, "prepare " + sql.substr(0, 200)));
    return SqliteStatement(nullptr);
  }
  return SqliteStatement(stmt, true);
}

int64_t SqliteDatabase::changes() const { return sqlite3_changes64(db_); }

ns::Error SqliteDatabase::lastError(int64_t code, const std::string& what) const {
  std::string text = what + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
  int sqliteCode = db_ ? sqlite3_extended_errcode(db_) : SQLITE_NOMEM;
  return sqliteError(db_, code, sqliteCode, text, path_, opening_);
}

}  // namespace cd
