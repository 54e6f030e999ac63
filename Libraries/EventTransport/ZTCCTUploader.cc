#include "Libraries/EventTransport/ZTCCTUploader.h"

#include "Libraries/EventTransport/ZTCCTUploadOperation.h"
#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCOREndpoints.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"

std::shared_ptr<ZTCCTUploader> ZTCCTUploader::sharedInstance() {
  static const auto shared = std::make_shared<ZTCCTUploader>();
  return shared;
}

ZTCCTUploader::ZTCCTUploader()
    : uploadOperationQueue_(dispatch::OperationQueue::create()),
      uploadQueue_(dispatch::Queue::serial("com.zorori.ZTCCTUploader")) {
  uploadOperationQueue_->setMaxConcurrentOperationCount(1);
}

std::optional<ns::URL> ZTCCTUploader::serverURLForTarget(ZTCORUploadTargetID target) {
  return ZTCOREndpoints::uploadURLForTarget(target);
}

void ZTCCTUploader::setUploadURLForTesting(ZTCORUploadTargetID target, ns::URL url) {
  std::lock_guard lock(testURLsMutex_);
  testURLs_[target] = std::move(url);
}

void ZTCCTUploader::uploadTarget(ZTCORUploadTargetID target, ZTCORUploadConditions conditions) {
  auto storage = ZTCORRegistrarStorageForTarget(target);
  if (!storage) {
    ZTCORConsoleLog(1006, ZTCORLogLevelError,
                    "Failed to upload target: %ld - could not find corresponding storage instance.", target);
    return;
  }
  auto metricsController = ZTCORRegistrarMetricsControllerForTarget(target);
  std::optional<ns::URL> url;
  {
    std::lock_guard lock(testURLsMutex_);
    auto found = testURLs_.find(target);
    url = found != testURLs_.end() ? std::optional<ns::URL>(found->second) : serverURLForTarget(target);
  }
  auto operation = std::make_shared<ZTCCTUploadOperation>(target, conditions, url, uploadQueue_, storage,
                                                          shared_from_this(), metricsController);
  operation->setName(ns::format("ZTCCTUploadOperation(target %ld, conditions %ld)", target, conditions));
  ZTCORLogDebug("Upload operation created: %@, target: %@", operation->name(), target);
  std::weak_ptr<ZTCCTUploader> weakUploader = shared_from_this();
  std::weak_ptr<ZTCCTUploadOperation> weakOperation = operation;
  operation->setCompletionBlock([weakUploader, weakOperation] {
    auto uploader = weakUploader.lock();
    auto finished = weakOperation.lock();
    if (!uploader || !finished) {
      ZTCORLogDebug("Internal inconsistency: ZTCCTUploader was deallocated during upload.");
      return;
    }
    ZTCORLogDebug("Upload operation finished: %@, uploadAttempted: %@", finished->name(),
                  finished->uploadAttempted() ? "YES" : "NO");
    // The targets queued behind a sent request wait for the next fire.
    if (finished->uploadAttempted()) uploader->cancelQueuedUnforcedOperations();
  });
  {
    std::lock_guard lock(queuedMutex_);
    std::erase_if(queued_, [](const std::weak_ptr<ZTCCTUploadOperation>& weak) {
      auto queued = weak.lock();
      return !queued || queued->isFinished();
    });
    queued_.push_back(operation);
  }
  uploadOperationQueue_->addOperation(operation);
  ZTCORLogDebug("Upload operation scheduled: %@, operation count: %@", operation->name(),
                static_cast<long>(uploadOperationQueue_->operationCount()));
}

void ZTCCTUploader::cancelQueuedUnforcedOperations() {
  std::lock_guard lock(queuedMutex_);
  for (const auto& weak : queued_) {
    auto queued = weak.lock();
    if (queued && !(queued->conditions() & ZTCORUploadConditionHighPriority)) queued->cancel();
  }
}

std::shared_ptr<ZTCORClock> ZTCCTUploader::nextUploadTimeForTarget(ZTCORUploadTargetID target) {
  std::lock_guard lock(nextUploadTimeMutex_);
  auto found = nextUploadTimeByTarget_.find(target);
  return found == nextUploadTimeByTarget_.end() ? nullptr : found->second;
}

void ZTCCTUploader::setNextUploadTime(std::shared_ptr<ZTCORClock> time, ZTCORUploadTargetID target) {
  std::lock_guard lock(nextUploadTimeMutex_);
  nextUploadTimeByTarget_[target] = std::move(time);
}

std::optional<std::string> ZTCCTUploader::APIKeyForTarget(ZTCORUploadTargetID target) {
  if (target == kZTCORTargetFLL || target == kZTCORTargetCSH || target == kZTCORTargetINT) {
    return ZTCOREndpoints::FLLAndCSHAndINTAPIKey();
  }
  return std::nullopt;
}
