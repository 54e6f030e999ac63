// The transport's only storage: every event one archive file, grouped into
// upload batches by moving files, with a size cap and an expiry sweep.
//
// Layout under the state directory R (ZTCORStateDirectoryURL), S = R/"ZTCORFlatFileStorage":
//   S/vov_event_data/<target>/<eventID>-<tier>-<expiration>-<mappingID>   one archive per event
//   S/vov_batch_data/<target>-<batchID>-<expiration>/<event file>          the events of a batch
//   S/vov_library_data/<key>                                              one file per key
// An event's upload state is its location; nothing is kept in memory.
//
// Durability: files are written atomically (a hidden temporary, then a
// rename) and moved by rename, so an event stored with success is, whenever
// the process dies, in its target's directory or in one batch, whole. The
// hidden leftovers of interrupted writes are removed when a storage starts
// (before it writes anything) and by every sweep. Batch IDs come from
// the counter "ZTCORFlatFileStorageBatchIDCounter" (4 bytes, little-endian):
// missing or short reads as 0, it wraps from 2,147,483,647 to 0, and an ID
// is handed out only once the counter past it is written.
//
// Faults it does not carry: an event whose file could not be moved into a
// batch stays out of the batch (it is still in the event directory); a
// batch directory is removed without delete only once every file went
// back; a file is deleted as undecodable only when its bytes were read.
//
// Threading: one serial queue "com.zorori.ZTCORFlatFileStorage" runs every
// read and change of the files and of the tracked size; completions and
// promise callbacks run on it.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "Libraries/EventTransport/ZTCORDirectorySizeTracker.h"
#include "Libraries/EventTransport/ZTCORFlatFileStorageNames.h"
#include "Libraries/EventTransport/ZTCORStorageProtocol.h"
#include "Libraries/EventTransport/ZTCORUploadCoordinator.h"
#include "Platform/Dispatch/Queue.h"

inline constexpr const char* kZTCORFlatFileStorageErrorDomain = "ZTCORFlatFileStorage";
inline constexpr const char* kZTCORBatchIDCounterKey = "ZTCORFlatFileStorageBatchIDCounter";
inline constexpr const char* kZTCORMetricsMetadataKey = "metrics_metadata";
// Events are written only while everything under R stays at or below this.
inline constexpr uint64_t kZTCORFlatFileStorageMaxSize = 20000000;

class ZTCORFlatFileStorage : public ZTCORStoragePromiseProtocol,
                             public std::enable_shared_from_this<ZTCORFlatFileStorage> {
 public:
  static std::shared_ptr<ZTCORFlatFileStorage> sharedInstance();
  // For tests: waits for the shared instance's queue, then replaces it with
  // a fresh one (tracked size unknown, no delegate, the shared coordinator).
  static void resetSharedInstanceForTesting();

  // The three directories, created on every call.
  static std::string eventDataStoragePath();
  static std::string batchDataStoragePath();
  static std::string libraryDataStoragePath();
  static std::string pathForTarget(ZTCORUploadTargetID target, const std::string& eventID, ZTCOREventQoSTier qosTier,
                                   ns::Date expirationDate, const std::string& mappingID);
  static std::string batchPathForTarget(ZTCORUploadTargetID target, int64_t batchID, ns::Date expirationDate);

  ZTCORFlatFileStorage();

  const std::shared_ptr<dispatch::Queue>& storageQueue() const { return storageQueue_; }
  // Use only on the storage queue.
  ZTCORDirectorySizeTracker& sizeTracker();
  const std::shared_ptr<ZTCORUploadCoordinator>& uploadCoordinator() const { return uploadCoordinator_; }
  // The shared coordinator unless replaced (tests do, before storing anything).
  void setUploadCoordinator(std::shared_ptr<ZTCORUploadCoordinator> coordinator) {
    uploadCoordinator_ = std::move(coordinator);
  }

  // ZTCORStorageProtocol
  void storeEvent(std::shared_ptr<ZTCOREvent> event, StoreCompletion onComplete) override;
  void hasEventsForTarget(ZTCORUploadTargetID target, std::function<void(bool)> onComplete) override;
  void batchWithEventSelector(const ZTCORStorageEventSelector& selector, ns::Date batchExpiration,
                              BatchCompletion onComplete) override;
  void removeBatchWithID(int64_t batchID, bool deleteEvents, std::function<void()> onComplete) override;
  void batchIDsForTarget(ZTCORUploadTargetID target, BatchIDsCompletion onComplete) override;
  void checkForExpirations() override;
  void storeLibraryData(const ns::Data& data, const std::string& key, ErrorCompletion onComplete) override;
  void libraryDataForKey(const std::string& key, FetchCompletion onFetchComplete, NewValueBlock setNewValue) override;
  void removeLibraryDataForKey(const std::string& key, ErrorCompletion onComplete) override;
  void storageSizeWithCallback(std::function<void(uint64_t)> onComplete) override;
  std::shared_ptr<ZTCORStorageDelegate> delegate() const override;
  void setDelegate(std::weak_ptr<ZTCORStorageDelegate> delegate) override;

  // ZTCORStoragePromiseProtocol (ZTCORFlatFileStoragePromises.cc)
  PRMPromise::Ptr batchIDsForTarget(ZTCORUploadTargetID target) override;
  PRMPromise::Ptr removeBatchWithID(int64_t batchID, bool deleteEvents) override;
  PRMPromise::Ptr removeBatchesWithIDs(const std::set<int64_t>& batchIDs, bool deleteEvents) override;
  PRMPromise::Ptr removeAllBatchesForTarget(ZTCORUploadTargetID target, bool deleteEvents) override;
  PRMPromise::Ptr fetchAndUpdateMetricsWithHandler(MetricsHandler handler) override;
  PRMPromise::Ptr fetchStorageMetadata() override;
  PRMPromise::Ptr hasEventsForTarget(ZTCORUploadTargetID target) override;
  PRMPromise::Ptr batchWithEventSelector(const ZTCORStorageEventSelector& selector, ns::Date batchExpiration) override;
  // Domain "ZTCORFlatFileStorage", code -1, the reason as failure reason.
  static ns::Error genericRejectedPromiseErrorWithReason(const std::string& reason);

  // ZTCORLifecycleProtocol
  void appWillBackground(const std::shared_ptr<ZTCORApplicationProtocol>& application) override;
  void appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>& application) override;

  // Used inside the store; on the storage queue.
  void pathsForTarget(const ZTCORStorageEventSelector& selector, std::function<void(std::set<std::string>)> onComplete);
  void nextBatchID(std::function<void(std::optional<int64_t>)> onComplete);
  void syncThreadUnsafeRemoveBatchWithID(int64_t batchID, bool deleteEvents);

 private:
  void moveEventsIntoBatch(const std::set<std::string>& paths, const ZTCORStorageEventSelector& selector,
                           int64_t batchID, ns::Date batchExpiration, BatchCompletion onComplete);
  bool moveContentsOfDirectoryAtPath(const std::string& from, const std::string& to, ns::Error* error);
  static void removeHiddenLeftovers();

  std::shared_ptr<dispatch::Queue> storageQueue_;
  std::optional<ZTCORDirectorySizeTracker> sizeTracker_;
  mutable std::mutex delegateMutex_;
  std::weak_ptr<ZTCORStorageDelegate> delegate_;
  std::shared_ptr<ZTCORUploadCoordinator> uploadCoordinator_;
};
