// One SQLite store file: the tables of a model's entities, created from the
// model and migrated additively when the model gained entities, attributes
// or to-one relationships; rows read and written for the coordinator.
//
// Layout (readable with sqlite3): a table per entity named after it, with
// "_pk" INTEGER PRIMARY KEY, one column per attribute (TEXT, INTEGER, REAL
// seconds since 2001-01-01 for dates, BLOB) and one INTEGER column per
// to-one relationship holding the related row's key. "_metadata" holds the
// store's identifier, the count of saves committed to it and its users'
// own marks; "_schema" the properties its tables were made for.
//
// Not thread-safe: the coordinator serialises every call.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/CoreData/ManagedObjectModel.h"
#include "Platform/CoreData/SqliteDatabase.h"
#include "Platform/CoreData/StoreRow.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

namespace cd {

// The row a statement stands on, read one value at a time, straight into
// where the caller keeps it. Valid only inside the visit it is handed to.
class StoreRowReader {
 public:
  StoreRowReader(const EntityDescription& entity, const SqliteStatement& stmt) : entity_(entity), stmt_(stmt) {}
  const EntityDescription& entity() const { return entity_; }
  int64_t key() const { return stmt_.columnInt64(0); }
  // The value of `property` as StoreRow lays them out (attributes, then
  // relationships; null for a to-many).
  ns::Value value(size_t property) const;

 private:
  const EntityDescription& entity_;
  const SqliteStatement& stmt_;
};

class PersistentStore {
 public:
  // Opens or creates the store at `path` for `model`. A model that differs
  // from the one recorded in the file is migrated when `options` allow
  // automatic migration with an inferred mapping and the change is
  // additive; otherwise opening fails with an incompatibility error.
  static std::shared_ptr<PersistentStore> open(std::shared_ptr<const ManagedObjectModel> model,
                                               const std::string& path, const ns::Dictionary& options,
                                               ns::Error* error);
  ~PersistentStore();

  const std::string& type() const;
  const std::string& URL() const { return path_; }
  const std::string& identifier() const { return identifier_; }
  // The identifier as object IDs hold it (see ManagedObjectID).
  const std::string* internedIdentifier() const { return internedIdentifier_; }
  const ns::Dictionary& options() const { return options_; }
  const ManagedObjectModel& model() const { return *model_; }

  // Reading. Rows come in key order, or in `order` where one is given.
  bool fetchRows(const EntityDescription& entity, const StoreFilter& filter, std::vector<StoreRow>* rows,
                 ns::Error* error);
  // The same, handing each row to `visit` (which may move its values out).
  bool fetchRows(const EntityDescription& entity, const StoreFilter& filter,
                 const std::function<void(StoreRow&)>& visit, ns::Error* error,
                 const StoreOrder& order = StoreOrder{});
  // The same without a StoreRow between: `visit` reads what it needs.
  bool readRows(const EntityDescription& entity, const StoreFilter& filter,
                const std::function<void(const StoreRowReader&)>& visit, ns::Error* error,
                const StoreOrder& order = StoreOrder{});
  // Only the keys of the rows, in `order`.
  bool fetchKeys(const EntityDescription& entity, const StoreFilter& filter, const StoreOrder& order,
                 std::vector<int64_t>* keys, ns::Error* error);
  // The rows with these keys (those that exist), in key order.
  bool fetchRowsWithKeys(const EntityDescription& entity, const std::vector<int64_t>& keys,
                         const std::function<void(StoreRow&)>& visit, ns::Error* error);
  // *found is false when no row has that key.
  bool fetchRow(const EntityDescription& entity, int64_t key, StoreRow* row, bool* found, ns::Error* error);
  bool count(const EntityDescription& entity, const StoreFilter& filter, int64_t* count, ns::Error* error);
  // How many of the rows with these keys match.
  bool countAmong(const EntityDescription& entity, const StoreFilter& filter, const std::vector<int64_t>& keys,
                  int64_t* count, ns::Error* error);
  // At least the number of the entity's rows, read from the highest key
  // without a scan (0 when unknown): room to make before objects arrive.
  size_t rowCountBound(const EntityDescription& entity);

  // Writing: everything between beginSave and commit is one transaction.
  // Once SQLite has found the file damaged in any read or write, no save
  // begins any more (the Cocoa error 259), so nothing is written over it.
  bool beginSave(ns::Error* error);
  // The first of `count` fresh keys of the entity (inside a save).
  int64_t reserveKeys(const EntityDescription& entity, int64_t count);
  // A row laid out as StoreRow's values (to-many entries are skipped); the
  // values are read in place, not copied.
  bool insertRow(const EntityDescription& entity, int64_t key, const std::vector<const ns::Value*>& values,
                 ns::Error* error);
  // Writes only the listed value columns; *changed tells whether the row exists.
  bool updateRow(const EntityDescription& entity, int64_t key, const std::vector<size_t>& columns,
                 const std::vector<const ns::Value*>& values, bool* changed, ns::Error* error);
  bool deleteRow(const EntityDescription& entity, int64_t key, ns::Error* error);
  bool commit(ns::Error* error);
  void rollback();

  // How many saves were ever committed to the file through this layer, by
  // any coordinator or process (each commit counts one in its own
  // transaction): equal counts mean no save came between. 0 for a file
  // none was committed to; -1 when it cannot be read.
  int64_t saveCount();
  // Integer marks of the store's users, kept in the file beside its
  // identifier: written at once in a transaction of their own (not inside
  // a save) and not counted as a save. Absent when never set or unreadable.
  std::optional<int64_t> metadataInteger(const std::string& key);
  bool setMetadataInteger(const std::string& key, int64_t value, ns::Error* error);

  // Writes a consistent copy of the store to `path` (which must not exist).
  bool copyTo(const std::string& path, ns::Error* error);
  void close();

 private:
  PersistentStore() = default;
  bool prepareSchema(ns::Error* error);
  std::string selectList(const EntityDescription& entity) const;
  void readRow(const EntityDescription& entity, const SqliteStatement& stmt, StoreRow* row) const;
  static void readRow(const StoreRowReader& reader, StoreRow* row);
  // Steps a bound statement to its end, handing each row to `visit`.
  bool visitRows(const EntityDescription& entity, SqliteStatement& s, const std::function<void(StoreRow&)>& visit,
                 ns::Error* error);
  bool visitRows(const EntityDescription& entity, SqliteStatement& s,
                 const std::function<void(const StoreRowReader&)>& visit,
                 ns::Error* error);
  // The connection's last error, remembering when it says the file is damaged.
  ns::Error failure(int64_t code, const std::string& what);

  std::shared_ptr<const ManagedObjectModel> model_;
  std::string path_;
  std::string identifier_;
  const std::string* internedIdentifier_ = nullptr;
  ns::Dictionary options_;
  SqliteDatabase db_;
  std::vector<int64_t> nextKey_;  // per entity index, valid inside a save
  std::vector<std::string> selectLists_;
  // Statements of the connection's cache, kept to skip its lookup by text.
  std::vector<sqlite3_stmt*> insertStatements_;  // per entity index
  // The last UPDATE, looked up again only when other columns change.
  const EntityDescription* updateEntity_ = nullptr;
  std::vector<size_t> updateColumns_;
  sqlite3_stmt* updateStatement_ = nullptr;
  bool inSave_ = false;
  bool damaged_ = false;
};

}  // namespace cd
