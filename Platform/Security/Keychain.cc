#include "Platform/Security/Keychain.h"

#include <memory>
#include <mutex>
#include <vector>

#include "Platform/Foundation/Device.h"
#include "Platform/Security/ItemQuery.h"
#include "Platform/Security/KeyItemQuery.h"
#include "Platform/Security/KeychainStore.h"

namespace sec {
namespace {

// One writer at a time inside the process; SQLite's file locks order
// writers of other processes.
std::mutex& keychainMutex() {
  static std::mutex m;
  return m;
}

Status openStore(std::unique_ptr<KeychainStore>* store) {
  return KeychainStore::open(ns::Device::current().keychainPath(), store);
}

ns::Dictionary attributesOf(const StoredItem& item, bool withData) {
  ns::Dictionary d;
  d.set(kClass, kClassGenericPassword);
  d.set(kAttrService, item.fields.service.value_or(""));
  d.set(kAttrAccount, item.fields.account.value_or(""));
  if (item.fields.accessGroup && !item.fields.accessGroup->empty()) d.set(kAttrAccessGroup, *item.fields.accessGroup);
  if (item.fields.label) d.set(kAttrLabel, *item.fields.label);
  if (item.fields.generic) d.set(kAttrGeneric, *item.fields.generic);
  d.set(kAttrAccessible, item.fields.accessible.value_or(kAccessibleWhenUnlocked));
  d.set(kAttrSynchronizable, item.fields.synchronizable.value_or(false));
  d.set(kAttrCreationDate, item.created);
  d.set(kAttrModificationDate, item.modified);
  if (withData) d.set(kValueData, item.fields.data.value_or(ns::Data{}));
  return d;
}

ns::Value resultOf(const StoredItem& item, const SearchOptions& options) {
  if (options.returnAttributes) return attributesOf(item, options.returnData);
  return item.fields.data.value_or(ns::Data{});
}

Status copyMatchingKeys(const ns::Dictionary& query, ns::Value* result) {
  KeyFilter filter;
  SearchOptions options;
  if (Status s = KeyItemQuery::parseSearch(query, &filter, &options); s != kSuccess) return s;
  std::lock_guard lock(keychainMutex());
  std::unique_ptr<KeychainStore> store;
  if (Status s = openStore(&store); s != kSuccess) return s;
  std::vector<ns::Data> found;
  if (Status s = store->findKeys(filter, options.matchAll, &found); s != kSuccess) return s;
  if (!result || !options.returnData) return kSuccess;
  if (options.matchAll) {
    ns::Array array(found.begin(), found.end());
    *result = std::move(array);
  } else {
    *result = std::move(found.front());
  }
  return kSuccess;
}

Status addKey(const ns::Dictionary& attributes) {
  KeyFields item;
  if (Status s = KeyItemQuery::parseNewItem(attributes, &item); s != kSuccess) return s;
  std::lock_guard lock(keychainMutex());
  std::unique_ptr<KeychainStore> store;
  if (Status s = openStore(&store); s != kSuccess) return s;
  return store->insertKey(item);
}

Status deleteKeys(const ns::Dictionary& query) {
  KeyFilter filter;
  if (Status s = KeyItemQuery::parseSelector(query, &filter); s != kSuccess) return s;
  std::lock_guard lock(keychainMutex());
  std::unique_ptr<KeychainStore> store;
  if (Status s = openStore(&store); s != kSuccess) return s;
  return store->removeKeys(filter);
}

}  // namespace

Status copyMatching(const ns::Dictionary& query, ns::Value* result) {
  if (isKeyQuery(query)) return copyMatchingKeys(query, result);
  ItemFilter filter;
  SearchOptions options;
  if (Status s = ItemQuery::parseSearch(query, &filter, &options); s != kSuccess) return s;
  std::lock_guard lock(keychainMutex());
  std::unique_ptr<KeychainStore> store;
  if (Status s = openStore(&store); s != kSuccess) return s;
  std::vector<StoredItem> items;
  if (Status s = store->find(filter, options.matchAll, &items); s != kSuccess) return s;
  if (!result || (!options.returnData && !options.returnAttributes)) return kSuccess;
  if (options.matchAll) {
    ns::Array array;
    array.reserve(items.size());
    for (const auto& item : items) array.push_back(resultOf(item, options));
    *result = std::move(array);
  } else {
    *result = resultOf(items.front(), options);
  }
  return kSuccess;
}

Status addItem(const ns::Dictionary& attributes) {
  if (isKeyQuery(attributes)) return addKey(attributes);
  ItemFields item;
  if (Status s = ItemQuery::parseNewItem(attributes, &item); s != kSuccess) return s;
  std::lock_guard lock(keychainMutex());
  std::unique_ptr<KeychainStore> store;
  if (Status s = openStore(&store); s != kSuccess) return s;
  return store->insert(item);
}

Status updateItems(const ns::Dictionary& query, const ns::Dictionary& attributesToUpdate) {
  if (isKeyQuery(query)) return kUnimplemented;
  ItemFilter filter;
  ItemFields changes;
  if (Status s = ItemQuery::parseSelector(query, &filter); s != kSuccess) return s;
  if (Status s = ItemQuery::parseChanges(attributesToUpdate, &changes); s != kSuccess) return s;
  std::lock_guard lock(keychainMutex());
  std::unique_ptr<KeychainStore> store;
  if (Status s = openStore(&store); s != kSuccess) return s;
  return store->update(filter, changes);
}

Status updateOrAddItem(const ns::Dictionary& query, const ns::Dictionary& attributesToUpdate,
                       const ns::Dictionary& attributesToAdd) {
  if (isKeyQuery(query)) return kUnimplemented;
  ItemFilter filter;
  ItemFields changes;
  ItemFields item;
  if (Status s = ItemQuery::parseSelector(query, &filter); s != kSuccess) return s;
  if (Status s = ItemQuery::parseChanges(attributesToUpdate, &changes); s != kSuccess) return s;
  if (Status s = ItemQuery::parseNewItem(attributesToAdd, &item); s != kSuccess) return s;
  std::lock_guard lock(keychainMutex());
  std::unique_ptr<KeychainStore> store;
  if (Status s = openStore(&store); s != kSuccess) return s;
  return store->updateOrInsert(filter, changes, item);
}

Status deleteItems(const ns::Dictionary& query) {
  if (isKeyQuery(query)) return deleteKeys(query);
  ItemFilter filter;
  if (Status s = ItemQuery::parseSelector(query, &filter); s != kSuccess) return s;
  std::lock_guard lock(keychainMutex());
  std::unique_ptr<KeychainStore> store;
  if (Status s = openStore(&store); s != kSuccess) return s;
  return store->remove(filter);
}

}  // namespace sec
