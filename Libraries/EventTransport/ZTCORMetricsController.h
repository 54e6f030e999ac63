// Counts the events the transport loses, per log source and reason, and
// hands the counts out as one report per upload (ZTCORMetrics).
//
// It keeps nothing in memory: every read-modify-write of the counts is one
// fetchAndUpdateMetricsWithHandler step of its storage, serialised on the
// storage's queue, so drops reported on any thread while reports are taken
// lose no count, and the counts outlive the process.
#pragma once

#include <memory>

#include "Libraries/EventTransport/ZTCORUploader.h"
#include "Platform/Dispatch/Queue.h"

inline constexpr const char* kZTCORMetricsControllerErrorDomain = "ZTCORMetricsController";

class ZTCORMetricsController : public ZTCORMetricsControllerProtocol,
                               public std::enable_shared_from_this<ZTCORMetricsController> {
 public:
  // Made once, with the flat-file store's shared instance as its storage.
  static std::shared_ptr<ZTCORMetricsController> sharedInstance();
  // For tests: the next sharedInstance is made anew (for the current store).
  static void resetSharedInstanceForTesting();

  explicit ZTCORMetricsController(std::shared_ptr<ZTCORStoragePromiseProtocol> storage);
  const std::shared_ptr<ZTCORStoragePromiseProtocol>& storage() const { return storage_; }

  PRMPromise::Ptr logEventsDroppedForReason(int64_t reason, const ZTCOREventSet& events) override;
  // Starts a new window now; rejected when no window was stored.
  PRMPromise::Ptr getAndResetMetrics() override;
  // A report whose upload failed rejoins the window unless it is newer.
  PRMPromise::Ptr offerMetrics(std::shared_ptr<ZTCORMetrics> metrics) override;

  // ZTCORStorageDelegate: expired events count under reason 1, refused ones under 2.
  void storageDidRemoveExpiredEvents(ZTCORStorageProtocol& storage, const ZTCOREventSet& events) override;
  void storageDidDropEvent(ZTCORStorageProtocol& storage, const std::shared_ptr<ZTCOREvent>& event) override;

 private:
  std::shared_ptr<ZTCORStoragePromiseProtocol> storage_;
  std::shared_ptr<dispatch::Queue> queue_;
};
