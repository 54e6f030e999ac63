// ZULKeychainStorage: small archived objects kept in the keychain under one
// service name, with an in-memory cache in front, every result handed back
// as a promise.
//
// An object is an ns::KeyedArchiveObject (a plain value, or an object of a
// coding class), archived by ZULSecureCoding as the data of a
// generic-password item: service = the storage's service, account = the
// key, access group = the one given (if any). Item data written here is a
// keyed archive any property-list tool can read.
//
// Results: getObjectForKey fulfils with the object, held as a shared
// ns::KeyedArchiveObject (objectFromValue reads it back), or with null when
// there is no item; setObject and removeObjectForKey fulfil with the null
// object (ns::Null). Every failure rejects: keychain errors of
// "com.zul.keychain.ErrorDomain" (ZULKeychainUtils.h), archiving errors of
// the Cocoa domain. Nothing is retried.
//
// The cache (5 entries by default, least recently used evicted first) keeps
// the last object read or written per key, so a read of a recent key never
// touches the keychain. A write puts the object into the cache before the
// keychain: a write the keychain refuses rejects, yet leaves the new object
// in the cache. A read that finds no item caches nothing.
//
// Threads: each call is a chain of steps, cache steps on the serial queue
// "com.zul.KeychainStorage.InMemoryCache" and keychain steps on the serial
// queue "com.zul.KeychainStorage.Keychain"; two writes to one key reach the
// keychain in the order of their calls. Callbacks run as PRMPromise.h says.
// A storage may be released while its calls are under way: they finish.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Cache.h"
#include "Platform/Foundation/KeyedArchiveObject.h"

class ZULKeychainStorage {
 public:
  using Cache = ns::Cache<std::string, ns::KeyedArchiveObject>;
  static constexpr size_t kDefaultCacheCountLimit = 5;

  // With a cache of kDefaultCacheCountLimit entries.
  explicit ZULKeychainStorage(std::string service);
  ZULKeychainStorage(std::string service, std::shared_ptr<Cache> cache);
  ZULKeychainStorage(const ZULKeychainStorage&) = delete;
  ZULKeychainStorage& operator=(const ZULKeychainStorage&) = delete;

  // `objectClass` is the archived class name the item must decode as
  // ("NSString", "NSDictionary", a registered coding class...).
  PRMPromise::Ptr getObjectForKey(const std::string& key, const std::string& objectClass,
                                  const std::optional<std::string>& accessGroup);
  PRMPromise::Ptr setObject(ns::KeyedArchiveObject object, const std::string& key,
                            const std::optional<std::string>& accessGroup);
  PRMPromise::Ptr removeObjectForKey(const std::string& key, const std::optional<std::string>& accessGroup);

  // Empties the cache at once, outside the cache queue.
  void resetInMemoryCache();

  const std::string& service() const { return service_; }

  // The object a getObjectForKey promise fulfilled with; nil for null.
  static ns::KeyedArchiveObject objectFromValue(const PRMObject& value);

 private:
  std::shared_ptr<dispatch::Queue> keychainQueue_;
  std::shared_ptr<dispatch::Queue> inMemoryCacheQueue_;
  std::string service_;
  std::shared_ptr<Cache> inMemoryCache_;
};
