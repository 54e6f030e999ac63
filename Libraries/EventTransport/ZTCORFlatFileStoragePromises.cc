// The store's operations as promises; work and callbacks on the storage queue.
#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"

#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Libraries/EventTransport/ZTCORTransportClasses.h"
#include "Platform/Foundation/FileManager.h"

ns::Error ZTCORFlatFileStorage::genericRejectedPromiseErrorWithReason(const std::string& reason) {
  return ns::Error(kZTCORFlatFileStorageErrorDomain, -1, {{ns::kLocalizedFailureReasonErrorKey, reason}});
}

PRMPromise::Ptr ZTCORFlatFileStorage::batchIDsForTarget(ZTCORUploadTargetID target) {
  auto self = shared_from_this();
  return PRMPromise::async(storageQueue_, [self, target](auto fulfill, auto) {
    self->batchIDsForTarget(target, [fulfill](std::optional<std::set<int64_t>> batchIDs) {
      if (!batchIDs) {
        fulfill(PRMObject());
        return;
      }
      ns::Array ids;
      for (int64_t id : *batchIDs) ids.push_back(ns::Value(id));
      fulfill(PRMObject(ns::Value(std::move(ids))));
    });
  });
}

PRMPromise::Ptr ZTCORFlatFileStorage::removeBatchWithID(int64_t batchID, bool deleteEvents) {
  auto self = shared_from_this();
  return PRMPromise::async(storageQueue_, [self, batchID, deleteEvents](auto fulfill, auto) {
    self->removeBatchWithID(batchID, deleteEvents, [fulfill] { fulfill(PRMObject()); });
  });
}

PRMPromise::Ptr ZTCORFlatFileStorage::removeBatchesWithIDs(const std::set<int64_t>& batchIDs, bool deleteEvents) {
  PRMArray removals;
  for (int64_t batchID : batchIDs) removals.push_back(PRMObject(removeBatchWithID(batchID, deleteEvents)));
  return PRMPromise::all(storageQueue_, std::move(removals))
      ->then(storageQueue_, [](const PRMObject&) { return PRMObject(ns::Null{}); });
}

PRMPromise::Ptr ZTCORFlatFileStorage::removeAllBatchesForTarget(ZTCORUploadTargetID target, bool deleteEvents) {
  auto self = shared_from_this();
  return batchIDsForTarget(target)->then(storageQueue_, [self, deleteEvents](const PRMObject& ids) {
    const ns::Array* list = ids.value() ? ids.value()->asArray() : nullptr;
    if (!list || list->empty()) return PRMObject(ns::Null{});
    std::set<int64_t> batchIDs;
    for (const auto& id : *list) batchIDs.insert(id.integerValue());
    return PRMObject(self->removeBatchesWithIDs(batchIDs, deleteEvents));
  });
}

PRMPromise::Ptr ZTCORFlatFileStorage::fetchStorageMetadata() {
  auto self = shared_from_this();
  return PRMPromise::async(storageQueue_, [self](auto fulfill, auto) {
    fulfill(PRMObject(ZTCORStorageMetadata::metadataWithCurrentCacheSize(self->sizeTracker().directoryContentSize(),
                                                                         kZTCORFlatFileStorageMaxSize)));
  });
}

PRMPromise::Ptr ZTCORFlatFileStorage::hasEventsForTarget(ZTCORUploadTargetID target) {
  auto self = shared_from_this();
  return PRMPromise::async(storageQueue_, [self, target](auto fulfill, auto) {
    self->hasEventsForTarget(target, [fulfill](bool hasEvents) { fulfill(PRMObject(hasEvents)); });
  });
}

PRMPromise::Ptr ZTCORFlatFileStorage::batchWithEventSelector(const ZTCORStorageEventSelector& selector,
                                                             ns::Date batchExpiration) {
  auto self = shared_from_this();
  return PRMPromise::async(storageQueue_, [self, selector, batchExpiration](auto fulfill, auto reject) {
    self->batchWithEventSelector(selector, batchExpiration,
                                 [fulfill, reject](std::optional<int64_t> batchID, std::optional<ZTCOREventSet> events) {
                                   if (batchID && events && !events->empty()) {
                                     fulfill(PRMObject(std::make_shared<ZTCORUploadBatch>(*batchID, std::move(*events))));
                                   } else {
                                     reject(genericRejectedPromiseErrorWithReason("There are no events for the selector."));
                                   }
                                 });
  });
}

PRMPromise::Ptr ZTCORFlatFileStorage::fetchAndUpdateMetricsWithHandler(MetricsHandler handler) {
  auto self = shared_from_this();
  return PRMPromise::async(storageQueue_, [self, handler](auto fulfill, auto reject) {
    ZTCORRegisterTransportClasses();
    std::string path = libraryDataStoragePath() + "/" + kZTCORMetricsMetadataKey;
    ns::Error readError;
    auto stored = ZTCORUnarchiveFile(ZTCORMetricsMetadata::kClassName, path, &readError)
                      .objectAs<ZTCORMetricsMetadata>();
    auto updated = handler ? handler(stored, stored ? std::nullopt : std::optional<ns::Error>(readError)) : nullptr;
    if (!updated || (stored && *updated == *stored)) {
      fulfill(PRMObject());
      return;
    }
    auto old = ns::FileManager::defaultManager().attributesOfItem(path);
    ns::Error error;
    auto archive = ZTCORArchiveObject(updated, "", &error);
    if (!archive) {
      reject(error);
      return;
    }
    if (!ZTCORWriteFileData(*archive, path, &error)) {
      reject(error);
      return;
    }
    if (old) self->sizeTracker().fileWasRemovedAtPath(path, old->size);
    self->sizeTracker().fileWasAddedAtPath(path, archive->size());
    fulfill(PRMObject());
  });
}
