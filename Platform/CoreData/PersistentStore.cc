#include "Platform/CoreData/PersistentStore.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <set>
#include <random>

#include "Platform/CoreData/CoreDataErrors.h"
#include "Platform/CoreData/ManagedObjectID.h"
#include "Platform/CoreData/StoreOptions.h"
#include "Platform/Foundation/FileManager.h"

namespace cd {

namespace {

std::string quoted(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string literal(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += '\'';
    q += c;
  }
  return q + "'";
}

const char* columnType(AttributeType type) {
  switch (type) {
    case AttributeType::String: return "TEXT";
    case AttributeType::Integer32: return "INTEGER";
    case AttributeType::Date: return "REAL";
    case AttributeType::Binary:
    case AttributeType::Transformable: return "BLOB";
  }
  return "BLOB";
}

std::string defaultClause(const AttributeDescription& a) {
  const ns::Value& v = a.defaultValue;
  if (v.isNull()) return {};
  switch (a.type) {
    case AttributeType::Integer32: return " DEFAULT " + std::to_string(v.integerValue());
    case AttributeType::String: return v.isString() ? " DEFAULT " + literal(*v.asString()) : std::string();
    case AttributeType::Date:
      if (v.isDate()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, " DEFAULT %.17g", v.asDate()->timeIntervalSinceReferenceDate());
        return buf;
      }
      return {};
    default: return {};
  }
}

std::string toOneKind(const RelationshipDescription& r) { return "to-one " + r.destinationEntityName; }

std::string newIdentifier() {
  std::random_device rd;
  std::mt19937_64 gen((static_cast<uint64_t>(rd()) << 32) ^ rd());
  uint8_t b[16];
  for (int i = 0; i < 16; i += 8) {
    uint64_t r = gen();
    for (int j = 0; j < 8; ++j) b[i + j] = static_cast<uint8_t>(r >> (8 * j));
  }
  b[6] = (b[6] & 0x0F) | 0x40;
  b[8] = (b[8] & 0x3F) | 0x80;
  char out[37];
  std::snprintf(out, sizeof out, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return out;
}

bool optionIsTrue(const ns::Dictionary& options, const char* key) {
  const ns::Value* v = options.find(key);
  return v && v->boolValue();
}

ns::Error storeError(int64_t code, const std::string& text, const std::string& path) {
  return ns::Error(ns::kCocoaErrorDomain, code,
                   ns::Dictionary{{ns::kLocalizedDescriptionKey, ns::Value(text)},
                                  {ns::kFilePathErrorKey, ns::Value(path)}});
}

}  // namespace

std::shared_ptr<PersistentStore> PersistentStore::open(std::shared_ptr<const ManagedObjectModel> model,
                                                       const std::string& path, const ns::Dictionary& options,
                                                       ns::Error* error) {
  std::shared_ptr<PersistentStore> store(new PersistentStore());
  store->model_ = std::move(model);
  store->path_ = path;
  store->options_ = options;
  if (path.empty()) {
    ns::setError(error, storeError(kPersistentStoreOpenError, "The store has no file URL.", path));
    return nullptr;
  }
  if (!store->db_.open(path, error)) return nullptr;
  if (!store->prepareSchema(error)) {
    store->db_.close();
    return nullptr;
  }
  store->internedIdentifier_ = ManagedObjectID::internStoreIdentifier(store->identifier_);
  for (const auto& e : store->model_->entities()) store->selectLists_.push_back(store->selectList(*e));
  store->nextKey_.assign(store->model_->entities().size(), 0);
  store->insertStatements_.assign(store->model_->entities().size(), nullptr);
  return store;
}

PersistentStore::~PersistentStore() { close(); }

const std::string& PersistentStore::type() const {
  static const std::string t = kSQLiteStoreType;
  return t;
}

bool PersistentStore::prepareSchema(ns::Error* error) {
  ns::Error e;
  // A file that is not a database, or is locked for good, fails here.
  if (!db_.exec("BEGIN IMMEDIATE", &e)) {
    ns::setError(error, storeError(259, "The file \"" + path_ + "\" couldn't be opened as a store: " +
                                            e.localizedDescription(), path_));
    return false;
  }
  auto fail = [&](ns::Error err) {
    db_.exec("ROLLBACK", nullptr);
    ns::setError(error, std::move(err));
    return false;
  };
  if (!db_.exec("CREATE TABLE IF NOT EXISTS _metadata (key TEXT PRIMARY KEY, value);"
                "CREATE TABLE IF NOT EXISTS _schema (entity TEXT NOT NULL, property TEXT NOT NULL,"
                " kind TEXT NOT NULL, PRIMARY KEY (entity, property));",
                &e)) {
    return fail(storeError(259, "The file \"" + path_ + "\" couldn't be opened as a store: " +
                                    e.localizedDescription(), path_));
  }
  {
    SqliteStatement s = db_.prepare("SELECT value FROM _metadata WHERE key = 'identifier'", &e);
    if (!s.valid()) return fail(e);
    if (s.step() == SQLITE_ROW) identifier_ = s.columnText(0).stringValue();
  }
  bool created = identifier_.empty();
  if (created) {
    identifier_ = newIdentifier();
    SqliteStatement s = db_.prepare("INSERT OR REPLACE INTO _metadata (key, value) VALUES ('identifier', ?)", &e);
    if (!s.valid()) return fail(e);
    s.bind(1, ns::Value(identifier_));
    if (s.step() != SQLITE_DONE) return fail(db_.lastError(kPersistentStoreOpenError, "write metadata"));
  }
  std::map<std::pair<std::string, std::string>, std::string> recorded;
  {
    SqliteStatement s = db_.prepare("SELECT entity, property, kind FROM _schema", &e);
    if (!s.valid()) return fail(e);
    while (s.step() == SQLITE_ROW) {
      recorded[{s.columnText(0).stringValue(), s.columnText(1).stringValue()}] = s.columnText(2).stringValue();
    }
  }

  std::set<std::string> indexes;
  {
    SqliteStatement s = db_.prepare("SELECT name FROM sqlite_master WHERE type = 'index'", &e);
    if (!s.valid()) return fail(e);
    while (s.step() == SQLITE_ROW) indexes.insert(s.columnText(0).stringValue());
  }

  // What the model needs beyond what the file has.
  std::vector<std::string> ddl;
  std::vector<std::array<std::string, 3>> records;
  bool incompatible = false;
  std::string incompatibility;
  for (const auto& entity : model_->entities()) {
    const std::string table = quoted(entity->name());
    bool hasTable = recorded.count({entity->name(), ""}) > 0;
    if (!hasTable) {
      std::string sql = "CREATE TABLE " + table + " (_pk INTEGER PRIMARY KEY";
      for (const auto& a : entity->attributes()) sql += ", " + quoted(a.name) + " " + columnType(a.type);
      for (const auto& r : entity->relationships()) {
        if (!r.toMany) sql += ", " + quoted(r.name) + " INTEGER";
      }
      ddl.push_back(sql + ")");
      records.push_back({entity->name(), "", "entity"});
    }
    for (const auto& a : entity->attributes()) {
      auto it = recorded.find({entity->name(), a.name});
      std::string kind = attributeTypeName(a.type);
      if (it == recorded.end()) {
        if (hasTable) {
          ddl.push_back("ALTER TABLE " + table + " ADD COLUMN " + quoted(a.name) + " " + columnType(a.type) +
                        defaultClause(a));
        }
        records.push_back({entity->name(), a.name, kind});
      } else if (it->second != kind) {
        incompatible = true;
        incompatibility = entity->name() + "." + a.name + " was " + it->second + ", is " + kind;
      }
      const std::string index = entity->name() + "_" + a.name;
      if (a.indexed && !indexes.count(index))
        ddl.push_back("CREATE INDEX IF NOT EXISTS " + quoted(index) + " ON " + table + " (" + quoted(a.name) + ")");
    }
    for (const auto& r : entity->relationships()) {
      if (r.toMany) continue;
      auto it = recorded.find({entity->name(), r.name});
      if (it == recorded.end()) {
        if (hasTable) ddl.push_back("ALTER TABLE " + table + " ADD COLUMN " + quoted(r.name) + " INTEGER");
        ddl.push_back("CREATE INDEX IF NOT EXISTS " + quoted(entity->name() + "_" + r.name) + " ON " + table + " (" +
                      quoted(r.name) + ")");
        records.push_back({entity->name(), r.name, toOneKind(r)});
      } else if (it->second != toOneKind(r)) {
        incompatible = true;
        incompatibility = entity->name() + "." + r.name + " was " + it->second + ", is " + toOneKind(r);
      }
    }
  }
  bool hadSchema = !recorded.empty();
  if (hadSchema && !records.empty()) {
    bool automatic = optionIsTrue(options_, kMigratePersistentStoresAutomaticallyOption) &&
                     optionIsTrue(options_, kInferMappingModelAutomaticallyOption);
    if (!automatic) {
      return fail(storeError(kPersistentStoreIncompatibleVersionHashError,
                             "The model used to open the store is incompatible with the one used to create the store.",
                             path_));
    }
  }
  if (incompatible) {
    return fail(storeError(hadSchema && !records.empty() ? kMigrationError : kPersistentStoreIncompatibleVersionHashError,
                           "The store cannot be migrated to the model: " + incompatibility + ".", path_));
  }
  for (const auto& sql : ddl) {
    if (!db_.exec(sql, &e)) return fail(e);
  }
  for (const auto& rec : records) {
    SqliteStatement s = db_.prepare("INSERT INTO _schema (entity, property, kind) VALUES (?, ?, ?)", &e);
    if (!s.valid()) return fail(e);
    for (int i = 0; i < 3; ++i) s.bind(i + 1, ns::Value(rec[i]));
    if (s.step() != SQLITE_DONE) return fail(db_.lastError(kMigrationError, "record schema"));
  }
  if (!db_.exec("COMMIT", &e)) return fail(e);
  return true;
}

std::string PersistentStore::selectList(const EntityDescription& entity) const {
  std::string sql = "_pk";
  for (const auto& a : entity.attributes()) sql += ", " + quoted(a.name);
  for (const auto& r : entity.relationships()) {
    if (!r.toMany) sql += ", " + quoted(r.name);
  }
  return sql;
}

ns::Value StoreRowReader::value(size_t property) const {
  const auto& attributes = entity_.attributes();
  if (property < attributes.size()) {
    const int column = static_cast<int>(property) + 1;
    switch (attributes[property].type) {
      case AttributeType::String: return stmt_.columnText(column);
      case AttributeType::Integer32: return stmt_.columnInteger(column);
      case AttributeType::Date: return stmt_.columnDate(column);
      case AttributeType::Binary:
      case AttributeType::Transformable: return stmt_.columnBlob(column);
    }
    return {};
  }
  // To-one keys follow the attributes, in the relationships' order.
  const auto& relationships = entity_.relationships();
  const size_t r = property - attributes.size();
  if (relationships[r].toMany) return {};
  int column = static_cast<int>(attributes.size()) + 1;
  for (size_t i = 0; i < r; ++i) column += relationships[i].toMany ? 0 : 1;
  return stmt_.columnInteger(column);
}

void PersistentStore::readRow(const EntityDescription& entity, const SqliteStatement& stmt, StoreRow* row) const {
  readRow(StoreRowReader(entity, stmt), row);
}

void PersistentStore::readRow(const StoreRowReader& reader, StoreRow* row) {
  const size_t count = reader.entity().attributes().size() + reader.entity().relationships().size();
  row->key = reader.key();
  row->values.clear();
  row->values.reserve(count);
  for (size_t i = 0; i < count; ++i) row->values.push_back(reader.value(i));
}

bool PersistentStore::fetchRows(const EntityDescription& entity, const StoreFilter& filter,
                                std::vector<StoreRow>* rows, ns::Error* error) {
  return fetchRows(entity, filter, [rows](StoreRow& row) { rows->push_back(std::move(row)); }, error);
}

ns::Error PersistentStore::failure(int64_t code, const std::string& what) {
  const int primary = sqlite3_extended_errcode(db_.handle()) & 0xff;
  if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) {
    damaged_ = true;
    db_.keepLogOnClose();
  }
  return db_.lastError(code, what);
}

namespace {

std::string orderedQuery(const std::string& columns, const std::string& table, const StoreFilter& filter,
                         const StoreOrder& order) {
  std::string sql = "SELECT " + columns + " FROM " + table;
  if (!filter.where.empty()) sql += " WHERE " + filter.where;
  sql += " ORDER BY " + (order.orderBy.empty() ? std::string("_pk") : order.orderBy + ", _pk");
  if (order.limit > 0) sql += " LIMIT " + std::to_string(order.limit);
  return sql;
}

// "_pk IN (1, 2, 3)": keys are integers, so they go into the text as they are.
std::string keyList(const std::vector<int64_t>& keys) {
  std::string sql = "_pk IN (";
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i) sql += ",";
    sql += std::to_string(keys[i]);
  }
  return sql + ")";
}

}  // namespace

bool PersistentStore::visitRows(const EntityDescription& entity, SqliteStatement& s,
                                const std::function<void(StoreRow&)>& visit, ns::Error* error) {
  StoreRow row;
  return visitRows(
      entity, s,
      [&](const StoreRowReader& reader) {
        readRow(reader, &row);
        visit(row);
      },
      error);
}

bool PersistentStore::visitRows(const EntityDescription& entity, SqliteStatement& s,
                                const std::function<void(const StoreRowReader&)>& visit, ns::Error* error) {
  int rc;
  const StoreRowReader reader(entity, s);
  while ((rc = s.step()) == SQLITE_ROW) visit(reader);
  if (rc != SQLITE_DONE) {
    ns::setError(error, failure(kPersistentStoreOperationError, "fetch " + entity.name()));
    return false;
  }
  return true;
}

bool PersistentStore::readRows(const EntityDescription& entity, const StoreFilter& filter,
                               const std::function<void(const StoreRowReader&)>& visit, ns::Error* error,
                               const StoreOrder& order) {
  SqliteStatement s =
      db_.prepare(orderedQuery(selectLists_[entity.index()], quoted(entity.name()), filter, order), error);
  if (!s.valid()) return false;
  for (size_t i = 0; i < filter.bindings.size(); ++i) s.bind(static_cast<int>(i + 1), filter.bindings[i]);
  return visitRows(entity, s, visit, error);
}

bool PersistentStore::fetchRows(const EntityDescription& entity, const StoreFilter& filter,
                                const std::function<void(StoreRow&)>& visit, ns::Error* error,
                                const StoreOrder& order) {
  StoreRow row;
  return readRows(
      entity, filter,
      [&](const StoreRowReader& reader) {
        readRow(reader, &row);
        visit(row);
      },
      error, order);
}

bool PersistentStore::fetchKeys(const EntityDescription& entity, const StoreFilter& filter, const StoreOrder& order,
                                std::vector<int64_t>* keys, ns::Error* error) {
  SqliteStatement s = db_.prepare(orderedQuery("_pk", quoted(entity.name()), filter, order), error);
  if (!s.valid()) return false;
  for (size_t i = 0; i < filter.bindings.size(); ++i) s.bind(static_cast<int>(i + 1), filter.bindings[i]);
  int rc;
  while ((rc = s.step()) == SQLITE_ROW) keys->push_back(s.columnInt64(0));
  if (rc != SQLITE_DONE) {
    ns::setError(error, failure(kPersistentStoreOperationError, "fetch " + entity.name()));
    return false;
  }
  return true;
}

bool PersistentStore::fetchRowsWithKeys(const EntityDescription& entity, const std::vector<int64_t>& keys,
                                        const std::function<void(StoreRow&)>& visit, ns::Error* error) {
  if (keys.empty()) return true;
  // The same number of keys (a batch) comes again and again: one cached
  // statement per count.
  std::string sql = "SELECT " + selectLists_[entity.index()] + " FROM " + quoted(entity.name()) + " WHERE _pk IN (?";
  for (size_t i = 1; i < keys.size(); ++i) sql += ",?";
  sql += ") ORDER BY _pk";
  SqliteStatement s = db_.prepare(sql, error);
  if (!s.valid()) return false;
  for (size_t i = 0; i < keys.size(); ++i) s.bindInt64(static_cast<int>(i + 1), keys[i]);
  return visitRows(entity, s, visit, error);
}

bool PersistentStore::fetchRow(const EntityDescription& entity, int64_t key, StoreRow* row, bool* found,
                               ns::Error* error) {
  SqliteStatement s = db_.prepare(
      "SELECT " + selectLists_[entity.index()] + " FROM " + quoted(entity.name()) + " WHERE _pk = ?", error);
  if (!s.valid()) return false;
  s.bindInt64(1, key);
  int rc = s.step();
  if (rc == SQLITE_ROW) {
    readRow(entity, s, row);
    *found = true;
    return true;
  }
  if (rc == SQLITE_DONE) {
    *found = false;
    return true;
  }
  ns::setError(error, failure(kPersistentStoreOperationError, "fetch " + entity.name()));
  return false;
}

bool PersistentStore::count(const EntityDescription& entity, const StoreFilter& filter, int64_t* count,
                            ns::Error* error) {
  std::string sql = "SELECT COUNT(*) FROM " + quoted(entity.name());
  if (!filter.where.empty()) sql += " WHERE " + filter.where;
  SqliteStatement s = db_.prepare(sql, error);
  if (!s.valid()) return false;
  for (size_t i = 0; i < filter.bindings.size(); ++i) s.bind(static_cast<int>(i + 1), filter.bindings[i]);
  if (s.step() != SQLITE_ROW) {
    ns::setError(error, failure(kPersistentStoreOperationError, "count " + entity.name()));
    return false;
  }
  *count = s.columnInt64(0);
  return true;
}

bool PersistentStore::countAmong(const EntityDescription& entity, const StoreFilter& filter,
                                 const std::vector<int64_t>& keys, int64_t* count, ns::Error* error) {
  *count = 0;
  if (keys.empty()) return true;
  std::string sql = "SELECT COUNT(*) FROM " + quoted(entity.name()) + " WHERE " + keyList(keys);
  if (!filter.where.empty()) sql += " AND (" + filter.where + ")";
  SqliteStatement s = db_.prepareOnce(sql, error);
  if (!s.valid()) return false;
  for (size_t i = 0; i < filter.bindings.size(); ++i) s.bind(static_cast<int>(i + 1), filter.bindings[i]);
  if (s.step() != SQLITE_ROW) {
    ns::setError(error, failure(kPersistentStoreOperationError, "count " + entity.name()));
    return false;
  }
  *count = s.columnInt64(0);
  return true;
}

size_t PersistentStore::rowCountBound(const EntityDescription& entity) {
  SqliteStatement s = db_.prepare("SELECT max(_pk) FROM " + quoted(entity.name()), nullptr);
  if (!s.valid() || s.step() != SQLITE_ROW || s.columnIsNull(0)) return 0;
  return static_cast<size_t>(std::max<int64_t>(s.columnInt64(0), 0));
}

bool PersistentStore::beginSave(ns::Error* error) {
  if (damaged_) {
    ns::setError(error, storeError(ns::kFileReadCorruptFileError, "The file \"" + path_ + "\" is damaged.", path_));
    return false;
  }
  // IMMEDIATE takes the write lock now, so keys reserved below stay free.
  if (!db_.exec("BEGIN IMMEDIATE", error)) {
    failure(kPersistentStoreSaveError, "begin save");
    return false;
  }
  inSave_ = true;
  std::fill(nextKey_.begin(), nextKey_.end(), 0);
  return true;
}

int64_t PersistentStore::reserveKeys(const EntityDescription& entity, int64_t count) {
  int64_t& next = nextKey_[entity.index()];
  if (next == 0) {
    SqliteStatement s = db_.prepare("SELECT COALESCE(MAX(_pk), 0) FROM " + quoted(entity.name()), nullptr);
    next = (s.valid() && s.step() == SQLITE_ROW ? s.columnInt64(0) : 0) + 1;
  }
  int64_t first = next;
  next += count;
  return first;
}

bool PersistentStore::insertRow(const EntityDescription& entity, int64_t key, const std::vector<const ns::Value*>& values,
                                ns::Error* error) {
  sqlite3_stmt*& statement = insertStatements_[entity.index()];
  if (!statement) {
    std::string sql = "INSERT INTO " + quoted(entity.name()) + " (" + selectLists_[entity.index()] + ") VALUES (?";
    size_t columns = entity.attributes().size();
    for (const auto& r : entity.relationships()) columns += r.toMany ? 0 : 1;
    for (size_t i = 0; i < columns; ++i) sql += ", ?";
    sql += ")";
    statement = db_.cachedStatement(sql, error);
    if (!statement) return false;
  }
  SqliteStatement s(statement);
  s.bindInt64(1, key);
  int column = 2;
  size_t attributeCount = entity.attributes().size();
  for (size_t i = 0; i < values.size(); ++i) {
    if (i >= attributeCount && entity.relationships()[i - attributeCount].toMany) continue;
    s.bindBorrowed(column++, *values[i]);
  }
  if (s.step() != SQLITE_DONE) {
    ns::setError(error, failure(kPersistentStoreSaveError, "insert into " + entity.name()));
    return false;
  }
  return true;
}

bool PersistentStore::updateRow(const EntityDescription& entity, int64_t key, const std::vector<size_t>& columns,
                                const std::vector<const ns::Value*>& values, bool* changed, ns::Error* error) {
  if (updateEntity_ != &entity || updateColumns_ != columns || !updateStatement_) {
    std::string sql = "UPDATE " + quoted(entity.name()) + " SET ";
    size_t attributeCount = entity.attributes().size();
    for (size_t i = 0; i < columns.size(); ++i) {
      size_t c = columns[i];
      if (i) sql += ", ";
      sql += quoted(c < attributeCount ? entity.attributes()[c].name : entity.relationships()[c - attributeCount].name);
      sql += " = ?";
    }
    sql += " WHERE _pk = ?";
    updateEntity_ = &entity;
    updateColumns_ = columns;
    updateStatement_ = db_.cachedStatement(sql, error);
    if (!updateStatement_) return false;
  }
  SqliteStatement s(updateStatement_);
  for (size_t i = 0; i < values.size(); ++i) s.bindBorrowed(static_cast<int>(i + 1), *values[i]);
  s.bindInt64(static_cast<int>(values.size() + 1), key);
  if (s.step() != SQLITE_DONE) {
    ns::setError(error, failure(kPersistentStoreSaveError, "update " + entity.name()));
    return false;
  }
  *changed = db_.changes() > 0;
  return true;
}

bool PersistentStore::deleteRow(const EntityDescription& entity, int64_t key, ns::Error* error) {
  SqliteStatement s = db_.prepare("DELETE FROM " + quoted(entity.name()) + " WHERE _pk = ?", error);
  if (!s.valid()) return false;
  s.bindInt64(1, key);
  if (s.step() != SQLITE_DONE) {
    ns::setError(error, failure(kPersistentStoreSaveError, "delete from " + entity.name()));
    return false;
  }
  return true;
}

namespace {

// Keys of the store's own in "_metadata", which users' marks may not take.
constexpr const char* kIdentifierKey = "identifier";
constexpr const char* kSaveCountKey = "saves";

}  // namespace

bool PersistentStore::commit(ns::Error* error) {
  inSave_ = false;
  // Counted in the save's own transaction: a count read later is exact.
  SqliteStatement count = db_.prepare(
      "INSERT INTO _metadata (key, value) VALUES ('saves', 1) ON CONFLICT(key) DO UPDATE SET value = value + 1",
      error);
  if (!count.valid() || count.step() != SQLITE_DONE) {
    ns::setError(error, failure(kPersistentStoreSaveError, "count save"));
    db_.exec("ROLLBACK", nullptr);
    return false;
  }
  if (db_.exec("COMMIT", error)) return true;
  failure(kPersistentStoreSaveError, "commit");
  db_.exec("ROLLBACK", nullptr);
  return false;
}

void PersistentStore::rollback() {
  if (inSave_) db_.exec("ROLLBACK", nullptr);
  inSave_ = false;
}

int64_t PersistentStore::saveCount() {
  SqliteStatement s = db_.prepare("SELECT value FROM _metadata WHERE key = ?", nullptr);
  if (!s.valid()) return -1;
  s.bind(1, ns::Value(kSaveCountKey));
  const int rc = s.step();
  if (rc == SQLITE_DONE) return 0;
  return rc == SQLITE_ROW ? s.columnInt64(0) : -1;
}

std::optional<int64_t> PersistentStore::metadataInteger(const std::string& key) {
  SqliteStatement s = db_.prepare("SELECT value FROM _metadata WHERE key = ?", nullptr);
  if (!s.valid()) return std::nullopt;
  s.bind(1, ns::Value(key));
  if (s.step() != SQLITE_ROW || s.columnIsNull(0)) return std::nullopt;
  return s.columnInt64(0);
}

bool PersistentStore::setMetadataInteger(const std::string& key, int64_t value, ns::Error* error) {
  if (key == kIdentifierKey || key == kSaveCountKey || inSave_ || damaged_) {
    ns::setError(error, storeError(kPersistentStoreSaveError, "The mark \"" + key + "\" cannot be written now.", path_));
    return false;
  }
  SqliteStatement s = db_.prepare("INSERT OR REPLACE INTO _metadata (key, value) VALUES (?, ?)", error);
  if (!s.valid()) return false;
  s.bind(1, ns::Value(key));
  s.bindInt64(2, value);
  if (s.step() != SQLITE_DONE) {
    ns::setError(error, failure(kPersistentStoreSaveError, "write mark " + key));
    return false;
  }
  return true;
}

bool PersistentStore::copyTo(const std::string& path, ns::Error* error) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    ns::setError(error, storeError(kMigrationError, "A file already exists at the destination.", path));
    return false;
  }
  SqliteStatement s = db_.prepare("VACUUM INTO ?", error);
  if (!s.valid()) return false;
  s.bind(1, ns::Value(path));
  if (s.step() != SQLITE_DONE) {
    ns::setError(error, db_.lastError(kMigrationError, "copy store to " + path));
    return false;
  }
  return true;
}

void PersistentStore::close() {
  // The kept statements go with the connection. One closed under the store
  // (at the process's end) fails at the save's BEGIN, before any is used.
  std::fill(insertStatements_.begin(), insertStatements_.end(), nullptr);
  updateStatement_ = nullptr;
  db_.close();
}

}  // namespace cd
