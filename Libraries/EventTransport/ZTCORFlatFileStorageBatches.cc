// Batches: the batch-ID counter, choosing event files, moving them into a
// batch directory and back, and the expiry sweep.
#include <cstring>
#include <limits>

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"
#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Platform/Foundation/FileManager.h"

namespace {

bool isHidden(const std::string& name) { return !name.empty() && name[0] == '.'; }

std::string lastComponent(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string targetDirectory(ZTCORUploadTargetID target) {
  return ns::format("%@/%ld", ZTCORFlatFileStorage::eventDataStoragePath(), static_cast<long>(target));
}

bool contains(const std::optional<std::set<std::string>>& condition, const std::string& value) {
  return !condition || condition->empty() || condition->count(value);
}

// The counter's value as stored: missing or shorter than 4 bytes is 0, and
// so is anything negative, which no batch name could carry.
int32_t counterValue(const std::optional<ns::Data>& data) {
  if (!data || data->size() < 4) return 0;
  uint32_t bits = uint32_t((*data)[0]) | uint32_t((*data)[1]) << 8 | uint32_t((*data)[2]) << 16 |
                  uint32_t((*data)[3]) << 24;
  int32_t value;
  std::memcpy(&value, &bits, sizeof value);
  return value < 0 ? 0 : value;
}

ns::Data counterBytes(int32_t value) {
  auto bits = static_cast<uint32_t>(value);
  return {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
}

}  // namespace

void ZTCORFlatFileStorage::nextBatchID(std::function<void(std::optional<int64_t>)> onComplete) {
  storageQueue_->async([onComplete] {
    std::string path = libraryDataStoragePath() + "/" + kZTCORBatchIDCounterKey;
    auto& files = ns::FileManager::defaultManager();
    ns::Error readError;
    auto data = files.contentsAtPath(path, &readError);
    if (!data && files.fileExists(path)) {
      // A counter that exists but cannot be read now (too many open files)
      // must not restart at 0: IDs in use would be handed out again.
      ZTCORLogDebug("There was an error reading the batch ID counter: %@", readError);
      onComplete(std::nullopt);
      return;
    }
    int32_t value = counterValue(data);
    int32_t next = value == std::numeric_limits<int32_t>::max() ? 0 : value + 1;
    // The ID is used only once the counter past it is stored, so no two
    // batches ever share one, across crashes too.
    ns::Error writeError;
    if (!ZTCORWriteFileData(counterBytes(next), path, &writeError)) {
      ZTCORLogDebug("Error writing new value in libraryDataForKey: %@", writeError);
      onComplete(std::nullopt);
      return;
    }
    onComplete(value);
  });
}

void ZTCORFlatFileStorage::pathsForTarget(const ZTCORStorageEventSelector& selector,
                                          std::function<void(std::set<std::string>)> onComplete) {
  if (!onComplete) onComplete = [](std::set<std::string>) {};
  storageQueue_->async([selector, onComplete] {
    std::string directory = targetDirectory(selector.selectedTarget());
    auto& files = ns::FileManager::defaultManager();
    ZTCORCreateDirectory(directory);
    ns::Error error;
    auto entries = files.contentsOfDirectory(directory, &error);
    if (!entries) {
      ZTCORLogDebug("There was an error reading the contents of the target path: %@", error);
      onComplete({});
      return;
    }
    bool noConditions = (!selector.selectedEventIDs() || selector.selectedEventIDs()->empty()) &&
                        (!selector.selectedMappingIDs() || selector.selectedMappingIDs()->empty()) &&
                        (!selector.selectedQosTiers() || selector.selectedQosTiers()->empty());
    std::set<std::string> selected;
    for (const auto& name : *entries) {
      if (isHidden(name)) continue;
      if (!noConditions) {
        auto components = ZTCOREventComponentsFromFilename(name);
        if (!components) {
          ZTCORLogDebug("There was an error reading the filename components: %@", name);
          continue;
        }
        const auto& tiers = selector.selectedQosTiers();
        if (!contains(selector.selectedEventIDs(), components->eventID) ||
            !(!tiers || tiers->empty() || tiers->count(components->qosTier)) ||
            !contains(selector.selectedMappingIDs(), ZTCORUnescapeMappingID(components->mappingID))) {
          continue;
        }
      }
      selected.insert(directory + "/" + name);
    }
    onComplete(std::move(selected));
  });
}

void ZTCORFlatFileStorage::batchWithEventSelector(const ZTCORStorageEventSelector& selector,
                                                  ns::Date batchExpiration, BatchCompletion onComplete) {
  auto self = shared_from_this();
  nextBatchID([self, selector, batchExpiration, onComplete](std::optional<int64_t> batchID) {
    if (!batchID) {
      if (onComplete) onComplete(std::nullopt, std::nullopt);
      return;
    }
    self->pathsForTarget(selector, [self, selector, batchID, batchExpiration, onComplete](std::set<std::string> paths) {
      self->storageQueue_->async([self, paths, selector, batchID, batchExpiration, onComplete] {
        self->moveEventsIntoBatch(paths, selector, *batchID, batchExpiration, onComplete);
      });
    });
  });
}

void ZTCORFlatFileStorage::moveEventsIntoBatch(const std::set<std::string>& paths,
                                               const ZTCORStorageEventSelector& selector, int64_t batchID,
                                               ns::Date batchExpiration, BatchCompletion onComplete) {
  auto& files = ns::FileManager::defaultManager();
  std::string batchPath = batchPathForTarget(selector.selectedTarget(), batchID, batchExpiration);
  ZTCOREventSet events;
  for (const auto& path : paths) {
    ns::Error error;
    auto bytes = files.contentsAtPath(path, &error);
    if (!bytes) {
      // Not read now (too many open files, a moment's permission): the file
      // stays for a later batch; only bytes that were read can prove it bad.
      ZTCORLogDebug("Error reading event: %@ %@", path, error);
      continue;
    }
    auto event = ZTCORUnarchiveData(ZTCOREvent::kClassName, *bytes, &error).objectAs<ZTCOREvent>();
    if (!event) {
      ZTCORLogDebug("Error deserializing event: %@", error);
      if (files.removeItem(path)) sizeTracker().fileWasRemovedAtPath(path, bytes->size());
      continue;
    }
    ns::Error moveError;
    if (!ZTCORCreateDirectory(batchPath, &moveError) ||
        !files.moveItem(path, batchPath + "/" + lastComponent(path), &moveError)) {
      // Left out: it is still in the event directory, and uploading it with
      // this batch would send it again with a later one.
      ZTCORLogDebug("An event file wasn't moveable into the batch directory: %@", moveError);
      continue;
    }
    events.insert(std::move(event));
  }
  if (!onComplete) return;
  if (events.empty()) {
    onComplete(std::nullopt, std::nullopt);
  } else {
    onComplete(batchID, std::move(events));
  }
}

bool ZTCORFlatFileStorage::moveContentsOfDirectoryAtPath(const std::string& from, const std::string& to,
                                                         ns::Error* error) {
  auto& files = ns::FileManager::defaultManager();
  ns::Error listError;
  auto entries = files.contentsOfDirectory(from, &listError);
  if (!entries) {
    ns::setError(error, listError);
    return false;
  }
  ZTCORCreateDirectory(to);
  ns::Array failures;
  for (const auto& name : *entries) {
    if (isHidden(name)) continue;
    ns::Error moveError;
    if (!files.moveItem(from + "/" + name, to + "/" + name, &moveError)) failures.push_back(moveError.description());
  }
  if (failures.empty()) return true;
  ns::setError(error, ns::Error(kZTCORFlatFileStorageErrorDomain, -1, {{ns::kUnderlyingErrorKey, failures}}));
  return false;
}

void ZTCORFlatFileStorage::syncThreadUnsafeRemoveBatchWithID(int64_t batchID, bool deleteEvents) {
  auto& files = ns::FileManager::defaultManager();
  std::string batchData = batchDataStoragePath();
  ns::Error error;
  auto entries = files.contentsOfDirectory(batchData, &error);
  if (!entries) {
    ZTCORLogDebug("Failed to find event file paths for batchID: %@, error: %@", batchID, error);
    return;
  }
  for (const auto& name : *entries) {
    if (isHidden(name)) continue;
    auto components = ZTCORBatchComponentsFromFilename(name);
    if (!components || components->batchID != batchID) continue;
    std::string path = batchData + "/" + name;
    bool removable = true;
    if (!deleteEvents) {
      ns::Error moveError;
      std::string destination = targetDirectory(components->target);
      if (moveContentsOfDirectoryAtPath(path, destination, &moveError)) {
        ZTCORLogDebug("Batched events at path: %@ moved back to the storage: %@", path, destination);
      } else {
        // What could not go back stays in the batch: removing the directory
        // now would destroy it. The next removal or sweep tries again.
        ZTCORLogDebug("Error encountered whilst moving events back: %@", moveError);
        removable = false;
      }
    }
    if (removable && files.removeItem(path)) {
      ZTCORLogDebug("Batch removed at path: %@", path);
    } else {
      ZTCORLogDebug("Failed to remove batch at path: %@", path);
    }
  }
  sizeTracker().resetCachedSize();
}

void ZTCORFlatFileStorage::removeBatchWithID(int64_t batchID, bool deleteEvents, std::function<void()> onComplete) {
  auto self = shared_from_this();
  storageQueue_->async([self, batchID, deleteEvents, onComplete] {
    self->syncThreadUnsafeRemoveBatchWithID(batchID, deleteEvents);
    if (onComplete) onComplete();
  });
}

void ZTCORFlatFileStorage::batchIDsForTarget(ZTCORUploadTargetID target, BatchIDsCompletion onComplete) {
  storageQueue_->async([target, onComplete] {
    auto entries = ns::FileManager::defaultManager().contentsOfDirectory(batchDataStoragePath(), nullptr,
                                                                         {.skipsHiddenFiles = true});
    if (!entries || entries->empty()) {
      if (onComplete) onComplete(std::nullopt);
      return;
    }
    std::set<int64_t> batchIDs;
    for (const auto& name : *entries) {
      auto components = ZTCORBatchComponentsFromFilename(name);
      if (components && components->target == target) batchIDs.insert(components->batchID);
    }
    if (onComplete) onComplete(std::move(batchIDs));
  });
}

void ZTCORFlatFileStorage::removeHiddenLeftovers() {
  auto& files = ns::FileManager::defaultManager();
  std::string root = ZTCORStateDirectoryURL().path() + "/ZTCORFlatFileStorage";
  auto subpaths = files.subpathsOfDirectory(root);
  if (!subpaths) return;
  for (const auto& relative : *subpaths) {
    // Parents come before children, so a removed hidden directory's
    // contents are simply gone by the time they come up.
    if (isHidden(lastComponent(relative))) files.removeItem(root + "/" + relative);
  }
}

void ZTCORFlatFileStorage::checkForExpirations() {
  auto self = shared_from_this();
  storageQueue_->async([self] {
    ZTCORLogDebug("Checking for expired events and batches");
    auto& files = ns::FileManager::defaultManager();
    double now = ns::Date::now().timeIntervalSince1970();
    self->removeHiddenLeftovers();

    if (auto batches = files.contentsOfDirectory(batchDataStoragePath(), nullptr, {.skipsHiddenFiles = true})) {
      for (const auto& name : *batches) {
        auto components = ZTCORBatchComponentsFromFilename(name);
        if (components && components->expiration.timeIntervalSince1970() < now) {
          self->syncThreadUnsafeRemoveBatchWithID(components->batchID, false);
        }
      }
    }

    std::string eventData = eventDataStoragePath();
    ZTCOREventSet expired;
    if (auto subpaths = files.subpathsOfDirectory(eventData)) {
      for (const auto& relative : *subpaths) {
        std::string name = lastComponent(relative);
        if (isHidden(name)) continue;
        auto components = ZTCOREventComponentsFromFilename(name);
        if (!components || !(components->expiration.timeIntervalSince1970() < now)) continue;
        std::string path = eventData + "/" + relative;
        ns::Error error;
        auto event = ZTCORUnarchiveFile(ZTCOREvent::kClassName, path, &error).objectAs<ZTCOREvent>();
        if (!event) ZTCORLogDebug("Error deserializing event while checking for expired events: %@", error);
        if (files.removeItem(path, &error)) {
          ZTCORLogDebug("Item deleted because it expired: %@", path);
          if (event) expired.insert(std::move(event));
        } else {
          ZTCORLogDebug("There was an error deleting an expired item: %@", error);
        }
      }
    }
    auto delegate = self->delegate();
    if (delegate && !expired.empty()) {
      ZTCORLogDebug("Delegate notified that %@ events were dropped.", static_cast<long>(expired.size()));
      delegate->storageDidRemoveExpiredEvents(*self, expired);
    }
    self->sizeTracker().resetCachedSize();
  });
}
