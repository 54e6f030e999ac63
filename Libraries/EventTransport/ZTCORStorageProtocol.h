// What the transport asks of a storage: storing events, grouping them into
// upload batches, returning or deleting batches, the expiry sweep, small
// named blobs ("library data") and the storage's size. The flat-file store
// is the one implementation.
//
// Every operation returns at once and does its work on the storage's
// serial queue; completions run on that queue, so a caller that continues
// with another storage operation stays in order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "Libraries/EventTransport/ZTCORApplication.h"
#include "Libraries/EventTransport/ZTCOREvent.h"
#include "Libraries/EventTransport/ZTCORMetricsRecords.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Foundation/Error.h"

class ZTCORStorageProtocol;

// Which events of one target a batch takes. An empty or absent set sets no
// condition; a mapping-ID condition holds mapping IDs as given (unescaped).
class ZTCORStorageEventSelector {
 public:
  static ZTCORStorageEventSelector eventSelectorForTarget(ZTCORUploadTargetID target) {
    return ZTCORStorageEventSelector(target, std::nullopt, std::nullopt, std::nullopt);
  }
  ZTCORStorageEventSelector(ZTCORUploadTargetID target, std::optional<std::set<std::string>> eventIDs,
                            std::optional<std::set<std::string>> mappingIDs,
                            std::optional<std::set<ZTCOREventQoSTier>> qosTiers)
      : selectedTarget_(target),
        selectedEventIDs_(std::move(eventIDs)),
        selectedMappingIDs_(std::move(mappingIDs)),
        selectedQosTiers_(std::move(qosTiers)) {}

  ZTCORUploadTargetID selectedTarget() const { return selectedTarget_; }
  const std::optional<std::set<std::string>>& selectedEventIDs() const { return selectedEventIDs_; }
  const std::optional<std::set<std::string>>& selectedMappingIDs() const { return selectedMappingIDs_; }
  const std::optional<std::set<ZTCOREventQoSTier>>& selectedQosTiers() const { return selectedQosTiers_; }

 private:
  ZTCORUploadTargetID selectedTarget_;
  std::optional<std::set<std::string>> selectedEventIDs_;
  std::optional<std::set<std::string>> selectedMappingIDs_;
  std::optional<std::set<ZTCOREventQoSTier>> selectedQosTiers_;
};

class ZTCORUploadBatch {
 public:
  ZTCORUploadBatch(int64_t batchID, ZTCOREventSet events) : batchID_(batchID), events_(std::move(events)) {}
  int64_t batchID() const { return batchID_; }
  const ZTCOREventSet& events() const { return events_; }

 private:
  int64_t batchID_;
  ZTCOREventSet events_;
};

class ZTCORStorageMetadata {
 public:
  ZTCORStorageMetadata(uint64_t currentCacheSize, uint64_t maxCacheSize)
      : currentCacheSize_(currentCacheSize), maxCacheSize_(maxCacheSize) {}
  static std::shared_ptr<ZTCORStorageMetadata> metadataWithCurrentCacheSize(uint64_t current, uint64_t max) {
    return std::make_shared<ZTCORStorageMetadata>(current, max);
  }
  uint64_t currentCacheSize() const { return currentCacheSize_; }
  uint64_t maxCacheSize() const { return maxCacheSize_; }

 private:
  uint64_t currentCacheSize_;
  uint64_t maxCacheSize_;
};

// Hears of every event the storage drops (the client metrics count them).
class ZTCORStorageDelegate {
 public:
  virtual ~ZTCORStorageDelegate() = default;
  virtual void storageDidRemoveExpiredEvents(ZTCORStorageProtocol& storage, const ZTCOREventSet& events) = 0;
  virtual void storageDidDropEvent(ZTCORStorageProtocol& storage, const std::shared_ptr<ZTCOREvent>& event) = 0;
};

class ZTCORStorageProtocol : public ZTCORLifecycleProtocol {
 public:
  using StoreCompletion = std::function<void(bool wasWritten, std::optional<ns::Error> error)>;
  using BatchCompletion = std::function<void(std::optional<int64_t> batchID, std::optional<ZTCOREventSet> events)>;
  using BatchIDsCompletion = std::function<void(std::optional<std::set<int64_t>> batchIDs)>;
  using ErrorCompletion = std::function<void(std::optional<ns::Error> error)>;
  using FetchCompletion = std::function<void(std::optional<ns::Data> data, std::optional<ns::Error> error)>;
  using NewValueBlock = std::function<std::optional<ns::Data>()>;

  // A null event or one without payload bytes completes at once, on the
  // caller's thread, with (false, NSInternalInconsistencyException -1).
  virtual void storeEvent(std::shared_ptr<ZTCOREvent> event, StoreCompletion onComplete) = 0;
  virtual void hasEventsForTarget(ZTCORUploadTargetID target, std::function<void(bool)> onComplete) = 0;
  // (nullopt, nullopt) when no event joined.
  virtual void batchWithEventSelector(const ZTCORStorageEventSelector& selector, ns::Date batchExpiration,
                                      BatchCompletion onComplete) = 0;
  virtual void removeBatchWithID(int64_t batchID, bool deleteEvents, std::function<void()> onComplete) = 0;
  // Nullopt when the batch directory cannot be listed or is empty; else the
  // target's batch IDs (possibly none).
  virtual void batchIDsForTarget(ZTCORUploadTargetID target, BatchIDsCompletion onComplete) = 0;
  virtual void checkForExpirations() = 0;
  virtual void storeLibraryData(const ns::Data& data, const std::string& key, ErrorCompletion onComplete) = 0;
  virtual void libraryDataForKey(const std::string& key, FetchCompletion onFetchComplete,
                                 NewValueBlock setNewValue) = 0;
  virtual void removeLibraryDataForKey(const std::string& key, ErrorCompletion onComplete) = 0;
  virtual void storageSizeWithCallback(std::function<void(uint64_t)> onComplete) = 0;

  virtual std::shared_ptr<ZTCORStorageDelegate> delegate() const = 0;
  virtual void setDelegate(std::weak_ptr<ZTCORStorageDelegate> delegate) = 0;
};

// The same operations as promises whose work and callbacks run on the
// storage's queue. What each fulfils with:
//   batchIDsForTarget            an ns::Value array of the IDs (ascending), or null
//   removeBatchWithID            null
//   removeBatchesWithIDs,
//   removeAllBatchesForTarget    the null object (ns::Null)
//   hasEventsForTarget           an ns::Value bool
//   batchWithEventSelector       a ZTCORUploadBatch object; rejected when no event joined
//   fetchStorageMetadata         a ZTCORStorageMetadata object
//   fetchAndUpdateMetricsWithHandler  null; rejected with the archiving or writing error
class ZTCORStoragePromiseProtocol : public ZTCORStorageProtocol {
 public:
  virtual PRMPromise::Ptr batchIDsForTarget(ZTCORUploadTargetID target) = 0;
  virtual PRMPromise::Ptr removeBatchWithID(int64_t batchID, bool deleteEvents) = 0;
  virtual PRMPromise::Ptr removeBatchesWithIDs(const std::set<int64_t>& batchIDs, bool deleteEvents) = 0;
  virtual PRMPromise::Ptr removeAllBatchesForTarget(ZTCORUploadTargetID target, bool deleteEvents) = 0;
  // One step on the storage queue: reads the stored metrics metadata (null
  // and the error when there is none or it does not decode), calls the
  // handler with it and stores what the handler returns when that is not
  // null and differs from what was stored.
  using MetricsHandler = std::function<std::shared_ptr<ZTCORMetricsMetadata>(
      std::shared_ptr<ZTCORMetricsMetadata> stored, std::optional<ns::Error> readError)>;
  virtual PRMPromise::Ptr fetchAndUpdateMetricsWithHandler(MetricsHandler handler) = 0;
  virtual PRMPromise::Ptr fetchStorageMetadata() = 0;
  virtual PRMPromise::Ptr hasEventsForTarget(ZTCORUploadTargetID target) = 0;
  virtual PRMPromise::Ptr batchWithEventSelector(const ZTCORStorageEventSelector& selector,
                                                 ns::Date batchExpiration) = 0;
  using ZTCORStorageProtocol::batchIDsForTarget;
  using ZTCORStorageProtocol::batchWithEventSelector;
  using ZTCORStorageProtocol::hasEventsForTarget;
  using ZTCORStorageProtocol::removeBatchWithID;
};
