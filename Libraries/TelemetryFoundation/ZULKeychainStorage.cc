#include "Libraries/TelemetryFoundation/ZULKeychainStorage.h"

#include "Libraries/TelemetryFoundation/ZULKeychainUtils.h"
#include "Libraries/TelemetryFoundation/ZULSecureCoding.h"
#include "Platform/Security/ItemKeys.h"

namespace {

ns::Dictionary keychainQueryWithKey(const std::string& service, const std::string& key,
                                    const std::optional<std::string>& accessGroup) {
  ns::Dictionary query{{sec::kClass, sec::kClassGenericPassword},
                       {sec::kAttrService, service},
                       {sec::kAttrAccount, key}};
  if (accessGroup) query.set(sec::kAttrAccessGroup, *accessGroup);
  query.set(sec::kUseDataProtectionKeychain, true);
  return query;
}

PRMObject valueForObject(ns::KeyedArchiveObject object) {
  if (object.isNil()) return PRMObject();
  return PRMObject(std::make_shared<const ns::KeyedArchiveObject>(std::move(object)));
}

}  // namespace

ZULKeychainStorage::ZULKeychainStorage(std::string service)
    : ZULKeychainStorage(std::move(service), std::make_shared<Cache>(kDefaultCacheCountLimit)) {}

ZULKeychainStorage::ZULKeychainStorage(std::string service, std::shared_ptr<Cache> cache)
    : keychainQueue_(dispatch::Queue::serial("com.zul.KeychainStorage.Keychain")),
      inMemoryCacheQueue_(dispatch::Queue::serial("com.zul.KeychainStorage.InMemoryCache")),
      service_(std::move(service)),
      inMemoryCache_(std::move(cache)) {}

ns::KeyedArchiveObject ZULKeychainStorage::objectFromValue(const PRMObject& value) {
  auto held = value.object<ns::KeyedArchiveObject>();
  return held ? *held : ns::KeyedArchiveObject();
}

PRMPromise::Ptr ZULKeychainStorage::getObjectForKey(const std::string& key, const std::string& objectClass,
                                                    const std::optional<std::string>& accessGroup) {
  auto cache = inMemoryCache_;
  auto fromCache = PRMPromise::do_(inMemoryCacheQueue_, [cache, key]() -> PRMObject {
    if (auto cached = cache->objectForKey(key)) return valueForObject(std::move(*cached));
    return ns::Error(PRMPromiseErrorDomain, PRMPromiseErrorCodeValidationFailure);
  });
  auto read = fromCache->recover(keychainQueue_, [service = service_, key, objectClass,
                                                  accessGroup](const ns::Error&) -> PRMObject {
    std::optional<ns::Error> error;
    std::optional<ns::Data> data =
        ZULKeychainUtils::getItemWithQuery(keychainQueryWithKey(service, key, accessGroup), &error);
    if (error) return *error;
    if (!data) return PRMObject();
    ns::Error archiveError;
    ns::KeyedArchiveObject object = ZULSecureCoding::unarchivedObjectOfClass(objectClass, *data, &archiveError);
    if (object.isNil()) return archiveError;
    return valueForObject(std::move(object));
  });
  return read->then(inMemoryCacheQueue_, [cache, key](const PRMObject& value) -> PRMObject {
    ns::KeyedArchiveObject object = objectFromValue(value);
    if (!object.isNil()) cache->setObject(std::move(object), key);
    return value;
  });
}

PRMPromise::Ptr ZULKeychainStorage::setObject(ns::KeyedArchiveObject object, const std::string& key,
                                              const std::optional<std::string>& accessGroup) {
  auto cached = PRMPromise::do_(inMemoryCacheQueue_, [cache = inMemoryCache_, object, key]() -> PRMObject {
    cache->setObject(object, key);
    return PRMObject();
  });
  return cached->then(keychainQueue_, [service = service_, object, key, accessGroup](const PRMObject&) -> PRMObject {
    ns::Error archiveError;
    std::optional<ns::Data> data = ZULSecureCoding::archivedDataWithRootObject(object, &archiveError);
    if (!data) return archiveError;
    std::optional<ns::Error> error;
    if (!ZULKeychainUtils::setItem(*data, keychainQueryWithKey(service, key, accessGroup), &error)) {
      return *error;
    }
    return ns::Null{};
  });
}

PRMPromise::Ptr ZULKeychainStorage::removeObjectForKey(const std::string& key,
                                                       const std::optional<std::string>& accessGroup) {
  auto uncached = PRMPromise::do_(inMemoryCacheQueue_, [cache = inMemoryCache_, key]() -> PRMObject {
    cache->removeObjectForKey(key);
    return PRMObject();
  });
  return uncached->then(keychainQueue_, [service = service_, key, accessGroup](const PRMObject&) -> PRMObject {
    std::optional<ns::Error> error;
    if (!ZULKeychainUtils::removeItemWithQuery(keychainQueryWithKey(service, key, accessGroup), &error)) {
      return *error;
    }
    return ns::Null{};
  });
}

void ZULKeychainStorage::resetInMemoryCache() { inMemoryCache_->removeAllObjects(); }
