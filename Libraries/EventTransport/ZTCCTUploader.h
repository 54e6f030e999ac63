// The process's uploader, registered for targets 1000 to 1003: each request
// to upload a target becomes one ZTCCTUploadOperation on a one-wide queue.
// The first operation that actually sends a request cancels the ones still
// queued behind it, so one timer fire makes at most one POST. A forced
// upload is never cancelled that way: it follows an event that must go at
// once, and cancelled it would wait for a fire at which a target ahead of it
// may send first every time.
//
// The time before which each target must wait lives in memory only: the
// first upload after a launch is never held back.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/EventTransport/ZTCCTUploadMetadataProvider.h"
#include "Libraries/EventTransport/ZTCORUploader.h"
#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/URL.h"

class ZTCCTUploadOperation;

class ZTCCTUploader : public ZTCORUploader,
                      public ZTCCTUploadMetadataProvider,
                      public std::enable_shared_from_this<ZTCCTUploader> {
 public:
  static std::shared_ptr<ZTCCTUploader> sharedInstance();
  ZTCCTUploader();

  // Without a store registered for the target: an error line (code 1006), nothing else.
  void uploadTarget(ZTCORUploadTargetID target, ZTCORUploadConditions conditions) override;

  static std::optional<ns::URL> serverURLForTarget(ZTCORUploadTargetID target);

  std::shared_ptr<ZTCORClock> nextUploadTimeForTarget(ZTCORUploadTargetID target) override;
  void setNextUploadTime(std::shared_ptr<ZTCORClock> time, ZTCORUploadTargetID target) override;
  std::optional<std::string> APIKeyForTarget(ZTCORUploadTargetID target) override;

  const std::shared_ptr<dispatch::OperationQueue>& uploadOperationQueue() const { return uploadOperationQueue_; }
  const std::shared_ptr<dispatch::Queue>& uploadQueue() const { return uploadQueue_; }

  // For tests: the address a target's uploads go to instead of its endpoint.
  void setUploadURLForTesting(ZTCORUploadTargetID target, ns::URL url);

 private:
  // Cancels the queued operations that are not forced uploads.
  void cancelQueuedUnforcedOperations();

  std::shared_ptr<dispatch::OperationQueue> uploadOperationQueue_;
  std::shared_ptr<dispatch::Queue> uploadQueue_;
  std::mutex nextUploadTimeMutex_;
  std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORClock>> nextUploadTimeByTarget_;
  std::mutex testURLsMutex_;
  std::map<ZTCORUploadTargetID, ns::URL> testURLs_;
  std::mutex queuedMutex_;
  std::vector<std::weak_ptr<ZTCCTUploadOperation>> queued_;  // added, not yet finished
};
