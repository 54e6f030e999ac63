#include "Platform/Security/KeychainStore.h"

#include "Platform/Security/ItemKeys.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <variant>

namespace sec {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS genp ("
    " id INTEGER PRIMARY KEY,"
    " service TEXT NOT NULL,"
    " account TEXT NOT NULL,"
    " accessGroup TEXT NOT NULL,"
    " synchronizable INTEGER NOT NULL,"
    " label TEXT,"
    " generic BLOB,"
    " accessible TEXT NOT NULL,"
    " data BLOB,"
    " created REAL NOT NULL,"
    " modified REAL NOT NULL,"
    " UNIQUE (service, account, accessGroup, synchronizable))";

constexpr const char* kKeySchema =
    "CREATE TABLE IF NOT EXISTS keys ("
    " id INTEGER PRIMARY KEY,"
    " applicationTag BLOB NOT NULL,"
    " keyType TEXT NOT NULL,"
    " data BLOB,"
    " UNIQUE (applicationTag, keyType))";

constexpr const char* kColumns =
    "id, service, account, accessGroup, synchronizable, label, generic, accessible, data, created, modified";

using Binding = std::variant<std::string, ns::Data, int64_t, double>;

// Closes a prepared statement on every path.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) { ok_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) == SQLITE_OK; }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return ok_; }
  sqlite3_stmt* get() { return stmt_; }

  void bind(const std::vector<Binding>& values) {
    int i = 1;
    for (const auto& v : values) {
      if (auto* s = std::get_if<std::string>(&v)) {
        sqlite3_bind_text(stmt_, i, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
      } else if (auto* d = std::get_if<ns::Data>(&v)) {
        // A null pointer would bind NULL; an empty blob is not NULL.
        static const uint8_t empty = 0;
        sqlite3_bind_blob(stmt_, i, d->empty() ? &empty : d->data(), static_cast<int>(d->size()), SQLITE_TRANSIENT);
      } else if (auto* n = std::get_if<int64_t>(&v)) {
        sqlite3_bind_int64(stmt_, i, *n);
      } else {
        sqlite3_bind_double(stmt_, i, std::get<double>(v));
      }
      ++i;
    }
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool ok_ = false;
};

bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

std::optional<std::string> textColumn(sqlite3_stmt* s, int i) {
  if (sqlite3_column_type(s, i) == SQLITE_NULL) return std::nullopt;
  const unsigned char* t = sqlite3_column_text(s, i);
  return std::string(t ? reinterpret_cast<const char*>(t) : "", static_cast<size_t>(sqlite3_column_bytes(s, i)));
}

std::optional<ns::Data> blobColumn(sqlite3_stmt* s, int i) {
  if (sqlite3_column_type(s, i) == SQLITE_NULL) return std::nullopt;
  const auto* b = static_cast<const uint8_t*>(sqlite3_column_blob(s, i));
  return ns::Data(b, b + sqlite3_column_bytes(s, i));
}

// The generic attribute as it was stored: TEXT a string, BLOB data.
std::optional<ns::Value> genericColumn(sqlite3_stmt* s, int i) {
  if (sqlite3_column_type(s, i) == SQLITE_TEXT) return ns::Value(*textColumn(s, i));
  if (auto data = blobColumn(s, i)) return ns::Value(std::move(*data));
  return std::nullopt;
}

Binding genericBinding(const ns::Value& generic) {
  if (const std::string* text = generic.asString()) return *text;
  return *generic.asData();
}

// " WHERE ..." for `filter`, with its values appended to `bindings`.
std::string whereClause(const ItemFilter& filter, std::vector<Binding>* bindings) {
  std::string sql = " WHERE 1";
  auto text = [&](const char* column, const std::optional<std::string>& value) {
    if (!value) return;
    sql += std::string(" AND ") + column + " = ?";
    bindings->push_back(*value);
  };
  text("service", filter.service);
  text("account", filter.account);
  text("accessGroup", filter.accessGroup);
  text("label", filter.label);
  text("accessible", filter.accessible);
  if (filter.generic) {
    // By bytes, whether the attribute was stored as a string or as data.
    sql += " AND CAST(generic AS BLOB) = ?";
    bindings->push_back(*filter.generic);
  }
  if (filter.synchronizable) {
    sql += " AND synchronizable = ?";
    bindings->push_back(int64_t{*filter.synchronizable ? 1 : 0});
  }
  return sql;
}

// " WHERE ..." of key items.
std::string keyWhereClause(const KeyFilter& filter, std::vector<Binding>* bindings) {
  std::string sql = " WHERE 1";
  if (filter.applicationTag) {
    sql += " AND applicationTag = ?";
    bindings->push_back(*filter.applicationTag);
  }
  if (filter.keyType) {
    sql += " AND keyType = ?";
    bindings->push_back(*filter.keyType);
  }
  return sql;
}

}  // namespace

Status KeychainStore::open(const std::string& path, std::unique_ptr<KeychainStore>* out) {
  // Create the file ourselves so that it never exists with a wider mode.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return kNotAvailable;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ((st.st_mode & 07777) == 0600 || fchmod(fd, 0600) == 0);
  ::close(fd);
  if (!ok) return kNotAvailable;

  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return kNotAvailable;
  }
  sqlite3_busy_timeout(db, 5000);
  // A rollback journal takes the database's mode, so secrets never sit in a
  // wider file; a killed process leaves the file consistent.
  if (!exec(db, "PRAGMA journal_mode=DELETE") || !exec(db, "PRAGMA synchronous=FULL") || !exec(db, kSchema) ||
      !exec(db, kKeySchema)) {
    sqlite3_close(db);
    return kNotAvailable;
  }
  out->reset(new KeychainStore(db));
  return kSuccess;
}

KeychainStore::~KeychainStore() { sqlite3_close(db_); }

Status KeychainStore::find(const ItemFilter& filter, bool all, std::vector<StoredItem>* items) {
  std::vector<Binding> bindings;
  std::string sql = std::string("SELECT ") + kColumns + " FROM genp" + whereClause(filter, &bindings) + " ORDER BY id";
  if (!all) sql += " LIMIT 1";
  Statement stmt(db_, sql);
  if (!stmt.ok()) return kNotAvailable;
  stmt.bind(bindings);
  items->clear();
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    sqlite3_stmt* s = stmt.get();
    StoredItem item;
    item.fields.service = textColumn(s, 1);
    item.fields.account = textColumn(s, 2);
    item.fields.accessGroup = textColumn(s, 3);
    item.fields.synchronizable = sqlite3_column_int64(s, 4) != 0;
    item.fields.label = textColumn(s, 5);
    item.fields.generic = genericColumn(s, 6);
    item.fields.accessible = textColumn(s, 7);
    item.fields.data = blobColumn(s, 8);
    item.created = ns::Date(sqlite3_column_double(s, 9));
    item.modified = ns::Date(sqlite3_column_double(s, 10));
    items->push_back(std::move(item));
  }
  if (rc != SQLITE_DONE) return kNotAvailable;
  return items->empty() ? kItemNotFound : kSuccess;
}

Status KeychainStore::insert(const ItemFields& item) {
  Statement stmt(db_,
                 "INSERT INTO genp (service, account, accessGroup, synchronizable, label, generic, accessible, data, "
                 "created, modified) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  if (!stmt.ok()) return kNotAvailable;
  double now = ns::Date::now().timeIntervalSinceReferenceDate();
  stmt.bind({item.service.value_or(""), item.account.value_or(""), item.accessGroup.value_or(""),
             int64_t{item.synchronizable.value_or(false) ? 1 : 0}});
  sqlite3_stmt* s = stmt.get();
  if (item.label) sqlite3_bind_text(s, 5, item.label->data(), static_cast<int>(item.label->size()), SQLITE_TRANSIENT);
  static const uint8_t empty = 0;
  if (item.generic) {
    if (const std::string* text = item.generic->asString()) {
      sqlite3_bind_text(s, 6, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    } else {
      const ns::Data& data = *item.generic->asData();
      sqlite3_bind_blob(s, 6, data.empty() ? &empty : data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    }
  }
  const std::string accessible = item.accessible.value_or(kAccessibleWhenUnlocked);
  sqlite3_bind_text(s, 7, accessible.data(), static_cast<int>(accessible.size()), SQLITE_TRANSIENT);
  if (item.data)
    sqlite3_bind_blob(s, 8, item.data->empty() ? &empty : item.data->data(), static_cast<int>(item.data->size()),
                      SQLITE_TRANSIENT);
  sqlite3_bind_double(s, 9, now);
  sqlite3_bind_double(s, 10, now);
  int rc = sqlite3_step(s);
  if (rc == SQLITE_DONE) return kSuccess;
  if ((rc & 0xff) == SQLITE_CONSTRAINT) return kDuplicateItem;
  return kNotAvailable;
}

Status KeychainStore::update(const ItemFilter& filter, const ItemFields& changes) {
  // All matches change or none does.
  if (!exec(db_, "BEGIN IMMEDIATE")) return kNotAvailable;
  Status status = updateRows(filter, changes);
  if (status != kSuccess) {
    exec(db_, "ROLLBACK");
    return status;
  }
  return exec(db_, "COMMIT") ? kSuccess : (exec(db_, "ROLLBACK"), kNotAvailable);
}

Status KeychainStore::updateOrInsert(const ItemFilter& filter, const ItemFields& changes, const ItemFields& item) {
  // The write lock is taken first, so no other writer can add the item
  // between the look and the insert.
  if (!exec(db_, "BEGIN IMMEDIATE")) return kNotAvailable;
  Status status = updateRows(filter, changes);
  if (status == kItemNotFound) status = insert(item);
  if (status != kSuccess) {
    exec(db_, "ROLLBACK");
    return status;
  }
  return exec(db_, "COMMIT") ? kSuccess : (exec(db_, "ROLLBACK"), kNotAvailable);
}

Status KeychainStore::updateRows(const ItemFilter& filter, const ItemFields& changes) {
  std::vector<Binding> bindings;
  std::string where = whereClause(filter, &bindings);

  std::string set = "modified = ?";
  std::vector<Binding> values{ns::Date::now().timeIntervalSinceReferenceDate()};
  auto text = [&](const char* column, const std::optional<std::string>& value) {
    if (!value) return;
    set += std::string(", ") + column + " = ?";
    values.push_back(*value);
  };
  text("service", changes.service);
  text("account", changes.account);
  text("accessGroup", changes.accessGroup);
  text("label", changes.label);
  text("accessible", changes.accessible);
  if (changes.generic) {
    set += ", generic = ?";
    values.push_back(genericBinding(*changes.generic));
  }
  if (changes.synchronizable) {
    set += ", synchronizable = ?";
    values.push_back(int64_t{*changes.synchronizable ? 1 : 0});
  }
  if (changes.data) {
    set += ", data = ?";
    values.push_back(*changes.data);
  }
  values.insert(values.end(), bindings.begin(), bindings.end());

  Statement stmt(db_, "UPDATE genp SET " + set + where);
  if (!stmt.ok()) return kNotAvailable;
  stmt.bind(values);
  int rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_DONE) return (rc & 0xff) == SQLITE_CONSTRAINT ? kDuplicateItem : kNotAvailable;
  return sqlite3_changes(db_) == 0 ? kItemNotFound : kSuccess;
}

Status KeychainStore::remove(const ItemFilter& filter) {
  std::vector<Binding> bindings;
  Statement stmt(db_, "DELETE FROM genp" + whereClause(filter, &bindings));
  if (!stmt.ok()) return kNotAvailable;
  stmt.bind(bindings);
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) return kNotAvailable;
  return sqlite3_changes(db_) == 0 ? kItemNotFound : kSuccess;
}

Status KeychainStore::findKeys(const KeyFilter& filter, bool all, std::vector<ns::Data>* data) {
  std::vector<Binding> bindings;
  std::string sql = "SELECT data FROM keys" + keyWhereClause(filter, &bindings) + " ORDER BY id";
  if (!all) sql += " LIMIT 1";
  Statement stmt(db_, sql);
  if (!stmt.ok()) return kNotAvailable;
  stmt.bind(bindings);
  data->clear();
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) data->push_back(blobColumn(stmt.get(), 0).value_or(ns::Data()));
  if (rc != SQLITE_DONE) return kNotAvailable;
  return data->empty() ? kItemNotFound : kSuccess;
}

Status KeychainStore::insertKey(const KeyFields& item) {
  Statement stmt(db_, "INSERT INTO keys (applicationTag, keyType, data) VALUES (?, ?, ?)");
  if (!stmt.ok()) return kNotAvailable;
  stmt.bind({item.applicationTag, item.keyType, item.data.value_or(ns::Data())});
  int rc = sqlite3_step(stmt.get());
  if (rc == SQLITE_DONE) return kSuccess;
  if ((rc & 0xff) == SQLITE_CONSTRAINT) return kDuplicateItem;
  return kNotAvailable;
}

Status KeychainStore::removeKeys(const KeyFilter& filter) {
  std::vector<Binding> bindings;
  Statement stmt(db_, "DELETE FROM keys" + keyWhereClause(filter, &bindings));
  if (!stmt.ok()) return kNotAvailable;
  stmt.bind(bindings);
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) return kNotAvailable;
  return sqlite3_changes(db_) == 0 ? kItemNotFound : kSuccess;
}

}  // namespace sec
