#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Libraries/EventTransport/ZTCORTransportClasses.h"
#include "Platform/Foundation/FileManager.h"

namespace {

std::mutex& sharedMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<ZTCORFlatFileStorage>& sharedSlot() {
  static std::shared_ptr<ZTCORFlatFileStorage> instance;
  return instance;
}

std::string storagePath(const char* directory) {
  std::string path = ZTCORStateDirectoryURL().path() + "/ZTCORFlatFileStorage/" + directory;
  ZTCORCreateDirectory(path);
  return path;
}

ns::Error sizeLimitError() {
  return ns::Error(kZTCORFlatFileStorageErrorDomain, 0,
                   {{ns::kLocalizedFailureReasonErrorKey, "Storage size limit has been reached."}});
}

}  // namespace

std::shared_ptr<ZTCORFlatFileStorage> ZTCORFlatFileStorage::sharedInstance() {
  std::lock_guard lock(sharedMutex());
  if (!sharedSlot()) sharedSlot() = std::make_shared<ZTCORFlatFileStorage>();
  return sharedSlot();
}

void ZTCORFlatFileStorage::resetSharedInstanceForTesting() {
  std::shared_ptr<ZTCORFlatFileStorage> old;
  {
    std::lock_guard lock(sharedMutex());
    old = std::move(sharedSlot());
  }
  if (old) old->storageQueue_->sync([] {});
}

ZTCORFlatFileStorage::ZTCORFlatFileStorage()
    : storageQueue_(dispatch::Queue::serial("com.zorori.ZTCORFlatFileStorage")),
      uploadCoordinator_(ZTCORUploadCoordinator::sharedInstance()) {
  ZTCORRegisterTransportClasses();
  // What writes of an earlier run left when it was killed goes first: every
  // write of this storage runs on this queue after it.
  storageQueue_->async([] { removeHiddenLeftovers(); });
}

std::string ZTCORFlatFileStorage::eventDataStoragePath() { return storagePath("vov_event_data"); }
std::string ZTCORFlatFileStorage::batchDataStoragePath() { return storagePath("vov_batch_data"); }
std::string ZTCORFlatFileStorage::libraryDataStoragePath() { return storagePath("vov_library_data"); }

std::string ZTCORFlatFileStorage::pathForTarget(ZTCORUploadTargetID target, const std::string& eventID,
                                                ZTCOREventQoSTier qosTier, ns::Date expirationDate,
                                                const std::string& mappingID) {
  return ns::format("%@/%ld/%@", eventDataStoragePath(), static_cast<long>(target),
                    ZTCOREventFilename(eventID, qosTier, expirationDate, mappingID));
}

std::string ZTCORFlatFileStorage::batchPathForTarget(ZTCORUploadTargetID target, int64_t batchID,
                                                     ns::Date expirationDate) {
  return batchDataStoragePath() + "/" + ZTCORBatchDirectoryName(target, batchID, expirationDate);
}

ZTCORDirectorySizeTracker& ZTCORFlatFileStorage::sizeTracker() {
  if (!sizeTracker_) sizeTracker_.emplace(ZTCORStateDirectoryURL().path());
  return *sizeTracker_;
}

std::shared_ptr<ZTCORStorageDelegate> ZTCORFlatFileStorage::delegate() const {
  std::lock_guard lock(delegateMutex_);
  return delegate_.lock();
}

void ZTCORFlatFileStorage::setDelegate(std::weak_ptr<ZTCORStorageDelegate> delegate) {
  std::lock_guard lock(delegateMutex_);
  delegate_ = std::move(delegate);
}

void ZTCORFlatFileStorage::storeEvent(std::shared_ptr<ZTCOREvent> event, StoreCompletion onComplete) {
  ZTCORLogDebug("Saving event: %@", event);
  if (!event || !event->serializedDataObjectBytes()) {
    ZTCORLogDebug("The event was nil, so it was not saved.");
    if (onComplete) onComplete(false, ns::Error(ns::kInternalInconsistencyException, -1));
    return;
  }
  if (!onComplete) {
    onComplete = [event](bool written, std::optional<ns::Error> error) {
      ZTCORLogDebug("event %@ stored. success:%@ error:%@", event, written ? "YES" : "NO", error);
    };
  }
  auto application = ZTCORApplication::sharedApplication();
  auto taskID = std::make_shared<uint64_t>(0);
  *taskID = application->beginBackgroundTaskWithName("VOVStorage", [application, taskID] {
    application->endBackgroundTask(*taskID);
  });
  auto self = shared_from_this();
  storageQueue_->async([self, event, onComplete, application, taskID] {
    std::string path = pathForTarget(event->target(), event->eventID(), event->qosTier(),
                                     event->expirationDate().value_or(ns::Date()), event->mappingID());
    ns::Error error;
    auto archive = ZTCORArchiveObject(event, "", &error);
    if (!archive) {
      onComplete(false, error);
    } else if (self->sizeTracker().directoryContentSize() + archive->size() >= kZTCORFlatFileStorageMaxSize + 1) {
      if (auto delegate = self->delegate()) {
        ZTCORLogDebug("Delegate notified that event with mapping ID %@ was dropped.", event->mappingID());
        delegate->storageDidDropEvent(*self, event);
      }
      onComplete(false, sizeLimitError());
    } else if (ZTCORWriteFileData(*archive, path, &error)) {
      self->sizeTracker().fileWasAddedAtPath(path, archive->size());
      onComplete(true, std::nullopt);
      if (event->qosTier() == ZTCOREventQoSFast && self->uploadCoordinator_) {
        self->uploadCoordinator_->forceUploadForTarget(event->target());
      }
    } else {
      ZTCORLogDebug("Attempt to write archive failed: path:%@ error:%@", path, error);
      onComplete(false, error);
    }
    application->endBackgroundTask(*taskID);
  });
}

void ZTCORFlatFileStorage::hasEventsForTarget(ZTCORUploadTargetID target, std::function<void(bool)> onComplete) {
  storageQueue_->async([target, onComplete] {
    std::string directory = ns::format("%@/%ld", eventDataStoragePath(), static_cast<long>(target));
    auto& files = ns::FileManager::defaultManager();
    ZTCORCreateDirectory(directory);
    auto entries = files.contentsOfDirectory(directory, nullptr, {.skipsHiddenFiles = true});
    if (onComplete) onComplete(entries && !entries->empty());
  });
}

void ZTCORFlatFileStorage::storeLibraryData(const ns::Data& data, const std::string& key,
                                            ErrorCompletion onComplete) {
  if (data.empty()) {
    if (onComplete) onComplete(ns::Error(ns::kInternalInconsistencyException, -1));
    return;
  }
  auto self = shared_from_this();
  storageQueue_->async([self, data, key, onComplete] {
    std::string path = libraryDataStoragePath() + "/" + key;
    auto& files = ns::FileManager::defaultManager();
    auto old = files.attributesOfItem(path);
    ns::Error error;
    bool written = ZTCORWriteFileData(data, path, &error);
    if (written) {
      if (old) self->sizeTracker().fileWasRemovedAtPath(path, old->size);
      self->sizeTracker().fileWasAddedAtPath(path, data.size());
    }
    if (onComplete) onComplete(written ? std::nullopt : std::optional<ns::Error>(error));
  });
}

void ZTCORFlatFileStorage::libraryDataForKey(const std::string& key, FetchCompletion onFetchComplete,
                                             NewValueBlock setNewValue) {
  auto self = shared_from_this();
  storageQueue_->async([self, key, onFetchComplete, setNewValue] {
    std::string path = libraryDataStoragePath() + "/" + key;
    ns::Error readError;
    auto data = ns::FileManager::defaultManager().contentsAtPath(path, &readError);
    if (onFetchComplete) onFetchComplete(data, data ? std::nullopt : std::optional<ns::Error>(readError));
    if (!setNewValue) return;
    auto newValue = setNewValue();
    if (!newValue || newValue->empty()) return;
    ns::Error writeError;
    if (ZTCORWriteFileData(*newValue, path, &writeError)) {
      if (data) self->sizeTracker().fileWasRemovedAtPath(path, data->size());
      self->sizeTracker().fileWasAddedAtPath(path, newValue->size());
    } else {
      ZTCORLogDebug("Error writing new value in libraryDataForKey: %@", writeError);
    }
  });
}

void ZTCORFlatFileStorage::removeLibraryDataForKey(const std::string& key, ErrorCompletion onComplete) {
  auto self = shared_from_this();
  storageQueue_->async([self, key, onComplete] {
    std::string path = libraryDataStoragePath() + "/" + key;
    auto& files = ns::FileManager::defaultManager();
    std::optional<ns::Error> result;
    if (auto attributes = files.attributesOfItem(path)) {
      ns::Error error;
      if (files.removeItem(path, &error)) {
        self->sizeTracker().fileWasRemovedAtPath(path, attributes->size);
      } else {
        result = error;
      }
    }
    if (onComplete) onComplete(result);
  });
}

void ZTCORFlatFileStorage::storageSizeWithCallback(std::function<void(uint64_t)> onComplete) {
  if (!onComplete) return;
  auto self = shared_from_this();
  storageQueue_->async([self, onComplete] { onComplete(self->sizeTracker().directoryContentSize()); });
}

void ZTCORFlatFileStorage::appWillBackground(const std::shared_ptr<ZTCORApplicationProtocol>& application) {
  if (!application) return;
  storageQueue_->async([application] {
    uint64_t task = application->beginBackgroundTaskWithName("VOVStorage", nullptr);
    application->endBackgroundTask(task);
  });
}

void ZTCORFlatFileStorage::appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>&) {
  storageQueue_->sync([] {});
}
