#include "Libraries/EventTransport/ZTCORMetricsController.h"

#include <mutex>

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"

namespace {

std::mutex sharedMutex;
std::shared_ptr<ZTCORMetricsController> sharedController;

std::shared_ptr<ZTCORMetricsMetadata> freshWindow() {
  return ZTCORMetricsMetadata::metadataWithCollectionStartDate(ns::Date::now(), ZTCORLogSourceMetrics::metrics());
}

void logFetchError(const std::optional<ns::Error>& error) {
  ZTCORLogDebug("Error fetching metrics metadata: %@", error);
}

}  // namespace

std::shared_ptr<ZTCORMetricsController> ZTCORMetricsController::sharedInstance() {
  std::lock_guard lock(sharedMutex);
  if (!sharedController) sharedController = std::make_shared<ZTCORMetricsController>(ZTCORFlatFileStorage::sharedInstance());
  return sharedController;
}

void ZTCORMetricsController::resetSharedInstanceForTesting() {
  std::lock_guard lock(sharedMutex);
  sharedController.reset();
}

ZTCORMetricsController::ZTCORMetricsController(std::shared_ptr<ZTCORStoragePromiseProtocol> storage)
    : storage_(std::move(storage)), queue_(dispatch::Queue::serial("com.zorori.ZTCORMetricsController")) {}

PRMPromise::Ptr ZTCORMetricsController::logEventsDroppedForReason(int64_t reason, const ZTCOREventSet& events) {
  if (events.empty()) return PRMPromise::resolvedWith(PRMObject());
  auto counts = ZTCORLogSourceMetrics::metricsWithEvents(events, reason);
  return storage_->fetchAndUpdateMetricsWithHandler(
      [counts](std::shared_ptr<ZTCORMetricsMetadata> stored, std::optional<ns::Error> error) {
        if (!stored) {
          logFetchError(error);
          return ZTCORMetricsMetadata::metadataWithCollectionStartDate(ns::Date::now(), counts);
        }
        return ZTCORMetricsMetadata::metadataWithCollectionStartDate(
            stored->collectionStartDate(), stored->logSourceMetrics()->logSourceMetricsByMergingWithLogSourceMetrics(*counts));
      });
}

PRMPromise::Ptr ZTCORMetricsController::getAndResetMetrics() {
  auto previous = std::make_shared<std::shared_ptr<ZTCORMetricsMetadata>>();
  auto storage = storage_;
  auto queue = queue_;
  return storage_
      ->fetchAndUpdateMetricsWithHandler(
          [previous](std::shared_ptr<ZTCORMetricsMetadata> stored, std::optional<ns::Error> error) {
            if (!stored) logFetchError(error);
            *previous = std::move(stored);
            return freshWindow();
          })
      ->then(queue, [previous, storage, queue](const PRMObject&) {
        if (!*previous) {
          return PRMObject(ns::Error(kZTCORMetricsControllerErrorDomain, -1,
                                     {{ns::kLocalizedFailureReasonErrorKey, "No metrics metadata was stored."}}));
        }
        return PRMObject(storage->fetchStorageMetadata()->then(queue, [previous](const PRMObject& sizes) {
          auto storageMetadata = sizes.object<ZTCORStorageMetadata>();
          if (!storageMetadata) storageMetadata = ZTCORStorageMetadata::metadataWithCurrentCacheSize(0, 0);
          return PRMObject(ZTCORMetrics::metricsWithMetricsMetadata(**previous, *storageMetadata));
        }));
      });
}

PRMPromise::Ptr ZTCORMetricsController::offerMetrics(std::shared_ptr<ZTCORMetrics> metrics) {
  if (!metrics) return PRMPromise::resolvedWith(PRMObject());
  return storage_->fetchAndUpdateMetricsWithHandler(
      [metrics](std::shared_ptr<ZTCORMetricsMetadata> stored, std::optional<ns::Error> error) {
        auto offered = metrics->logSourceMetrics() ? metrics->logSourceMetrics() : ZTCORLogSourceMetrics::metrics();
        if (stored) {
          if (metrics->collectionStartDate() > stored->collectionStartDate()) return stored;
          return ZTCORMetricsMetadata::metadataWithCollectionStartDate(
              metrics->collectionStartDate(), stored->logSourceMetrics()->logSourceMetricsByMergingWithLogSourceMetrics(*offered));
        }
        logFetchError(error);
        if (metrics->collectionStartDate() <= ns::Date::now()) {
          return ZTCORMetricsMetadata::metadataWithCollectionStartDate(metrics->collectionStartDate(), offered);
        }
        return freshWindow();
      });
}

void ZTCORMetricsController::storageDidRemoveExpiredEvents(ZTCORStorageProtocol&, const ZTCOREventSet& events) {
  logEventsDroppedForReason(kZTCORDropReasonExpired, events);
}

void ZTCORMetricsController::storageDidDropEvent(ZTCORStorageProtocol&, const std::shared_ptr<ZTCOREvent>& event) {
  if (!event) return;
  logEventsDroppedForReason(kZTCORDropReasonStoreFull, ZTCOREventSet{event});
}
