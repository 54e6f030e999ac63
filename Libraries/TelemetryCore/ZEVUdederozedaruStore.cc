#include "Libraries/TelemetryCore/ZEVUdederozedaruStore.h"

#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"

namespace {

using Item = ZEVUdederozedaruItem;

Promises::Promise<ns::Null> fromObjectPromise(const PRMPromise::Ptr& promise) {
  return Promises::Promise<PRMObject>(promise).then([](const PRMObject&) { return ns::Null{}; });
}

}  // namespace

ZEVUdederozedaruStore::ZEVUdederozedaruStore(std::shared_ptr<ZULKeychainStorage> secureStorage,
                                             std::optional<std::string> accessGroup)
    : secureStorage_(std::move(secureStorage)),
      accessGroup_(std::move(accessGroup)),
      queue_(dispatch::Queue::serial(kQueueLabel)),
      userDefaults_(std::make_shared<ZULUserDefaults>(accessGroup_ ? *accessGroup_
                                                                   : std::string(kUserDefaultsSuiteName))) {}

Promises::Promise<Item> ZEVUdederozedaruStore::installationForAppID(const std::string& appID,
                                                                    const std::string& appName) const {
  std::string identifier = Item::identifierWithAppID(appID, appName);
  auto storage = secureStorage_;
  auto accessGroup = accessGroup_;
  return installationExistsForAppID(appID, appName)
      .then([storage, identifier, accessGroup](const ns::Null&) {
        return Promises::Promise<PRMObject>(
            storage->getObjectForKey(identifier, ZEVUdederozedaruStoredItem::kClassName, accessGroup));
      })
      .then([appID, appName](const PRMObject& value) {
        auto stored = ZULKeychainStorage::objectFromValue(value).objectAs<ZEVUdederozedaruStoredItem>();
        if (!stored) throw Promises::Error(ZEVUdederozedaruErrorUtil::installationItemNotFoundForAppID(appID, appName));
        Item item(appID, appName);
        item.updateWithStoredItem(*stored);
        return item;
      });
}

Promises::Promise<ns::Null> ZEVUdederozedaruStore::saveInstallation(const Item& installation) const {
  auto stored = std::make_shared<ZEVUdederozedaruStoredItem>(installation.storedItem());
  std::string identifier = installation.identifier();
  // The item first: a flag must never announce an item that is not there.
  auto store = *this;
  return fromObjectPromise(secureStorage_->setObject(ns::KeyedArchiveObject(stored), identifier, accessGroup_))
      .then([store, identifier](const ns::Null&) { return store.setInstallationExists(true, identifier); });
}

Promises::Promise<ns::Null> ZEVUdederozedaruStore::removeInstallationForAppID(const std::string& appID,
                                                                              const std::string& appName) const {
  std::string identifier = Item::identifierWithAppID(appID, appName);
  auto store = *this;
  return fromObjectPromise(secureStorage_->removeObjectForKey(identifier, accessGroup_))
      .then([store, identifier](const ns::Null&) { return store.setInstallationExists(false, identifier); });
}

Promises::Promise<ns::Null> ZEVUdederozedaruStore::installationExistsForAppID(const std::string& appID,
                                                                              const std::string& appName) const {
  std::string identifier = Item::identifierWithAppID(appID, appName);
  auto defaults = userDefaults_;
  return Promises::Promise<ns::Null>::do_(queue_, [defaults, identifier, appID, appName] {
    if (!defaults->objectForKey(identifier)) {
      throw Promises::Error(ZEVUdederozedaruErrorUtil::installationItemNotFoundForAppID(appID, appName));
    }
    return ns::Null{};
  });
}

Promises::Promise<ns::Null> ZEVUdederozedaruStore::setInstallationExists(bool exists,
                                                                         const std::string& identifier) const {
  auto defaults = userDefaults_;
  return Promises::Promise<ns::Null>::do_(queue_, [defaults, identifier, exists] {
    if (exists) {
      defaults->setBool(true, identifier);
    } else {
      defaults->removeObjectForKey(identifier);
    }
    return ns::Null{};
  });
}
