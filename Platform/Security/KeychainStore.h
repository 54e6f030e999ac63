// The keychain's SQLite file: a table of generic-password items and one of
// key items, created
// with mode 0600 (and tightened to it when found wider). One instance is one
// connection; it is not shared between threads.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/Foundation/Date.h"
#include "Platform/Security/ItemQuery.h"
#include "Platform/Security/KeyItemQuery.h"
#include "Platform/Security/Status.h"

struct sqlite3;

namespace sec {

struct StoredItem {
  ItemFields fields;  // every identity field set; label, generic, data may be absent
  ns::Date created;
  ns::Date modified;
};

class KeychainStore {
 public:
  // Opens the file at `path`, creating it. kNotAvailable when it cannot be
  // opened or is not a keychain.
  static Status open(const std::string& path, std::unique_ptr<KeychainStore>* out);
  ~KeychainStore();
  KeychainStore(const KeychainStore&) = delete;
  KeychainStore& operator=(const KeychainStore&) = delete;

  // Matching items, oldest first; at most one unless `all`.
  Status find(const ItemFilter& filter, bool all, std::vector<StoredItem>* items);
  // kDuplicateItem when the identity is taken.
  Status insert(const ItemFields& item);
  // kItemNotFound when nothing matches, kDuplicateItem when a change collides
  // (then nothing is changed).
  Status update(const ItemFilter& filter, const ItemFields& changes);
  // update(), or insert() of `item` when nothing matches, in one
  // transaction.
  Status updateOrInsert(const ItemFilter& filter, const ItemFields& changes, const ItemFields& item);
  // kItemNotFound when nothing matches.
  Status remove(const ItemFilter& filter);

  // Key items: the data of the matches, oldest first, at most one unless
  // `all`; kDuplicateItem when tag and type are taken; kItemNotFound when
  // nothing matches.
  Status findKeys(const KeyFilter& filter, bool all, std::vector<ns::Data>* data);
  Status insertKey(const KeyFields& item);
  Status removeKeys(const KeyFilter& filter);

 private:
  explicit KeychainStore(sqlite3* db) : db_(db) {}
  // The update's statement alone, inside the caller's transaction.
  Status updateRows(const ItemFilter& filter, const ItemFields& changes);
  sqlite3* db_;
};

}  // namespace sec
