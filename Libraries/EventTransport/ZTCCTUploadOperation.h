// One upload of one target: readiness, a batch out of the store (with the
// client-metrics event where the target has a metrics controller), one
// gzipped POST, then the batch deleted or returned as the server answers.
// Every step runs on the uploader's serial queue; the operation finishes
// when the chain has settled, so at most one upload runs at a time.
//
// Once a batch was taken, every way the chain can stop returns it to the
// store (its events kept) unless the answer said otherwise, and metrics
// taken for it are offered back: nothing waits out the batch's expiry and
// no count is lost.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "Libraries/EventTransport/ZTCCTUploadMetadataProvider.h"
#include "Libraries/EventTransport/ZTCORUploader.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Dispatch/Operation.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/URLSessionDelegate.h"

class ZTCCTUploadOperation : public dispatch::Operation, public net::URLSessionDelegate {
 public:
  ZTCCTUploadOperation(ZTCORUploadTargetID target, ZTCORUploadConditions conditions, std::optional<ns::URL> uploadURL,
                       std::shared_ptr<dispatch::Queue> queue, std::shared_ptr<ZTCORStoragePromiseProtocol> storage,
                       std::shared_ptr<ZTCCTUploadMetadataProvider> metadataProvider,
                       std::shared_ptr<ZTCORMetricsControllerProtocol> metricsController);

  ZTCORUploadTargetID target() const { return target_; }
  ZTCORUploadConditions conditions() const { return conditions_; }
  bool uploadAttempted() const;
  bool isAsynchronous() const override { return true; }

  // The request of an upload: none without data. Target 1000 carries no key.
  std::optional<net::URLRequest> constructRequestWithURL(const ns::URL& url, ZTCORUploadTargetID target,
                                                         const ns::Data& data);

  // A 301 or 302 is followed with a request built as for target 1000 with
  // the original body; any other redirect goes on as proposed.
  void willPerformHTTPRedirection(net::URLSession& session, net::URLSessionTask& task,
                                  const net::HTTPURLResponse& response, const net::URLRequest& newRequest,
                                  net::RedirectCompletion completion) override;

 protected:
  void main() override;

 private:
  PRMPromise::Ptr uploadChain();
  bool readyToUploadTarget();
  ZTCORStorageEventSelector eventSelector() const;
  PRMPromise::Ptr batchByAddingMetricsEvent(std::shared_ptr<ZTCORUploadBatch> batch);
  PRMPromise::Ptr uploadBatch(std::shared_ptr<ZTCORUploadBatch> batch);
  void updateNextUploadTime(const net::HTTPURLResponse& response, const std::optional<ns::Data>& body);
  PRMPromise::Ptr processResponse(int status, const std::shared_ptr<ZTCORUploadBatch>& batch);
  // Returns a taken batch with its events and offers its metrics back.
  PRMPromise::Ptr giveBackBatch();
  void endBackgroundTask();

  const ZTCORUploadTargetID target_;
  const ZTCORUploadConditions conditions_;
  const std::optional<ns::URL> uploadURL_;
  const std::shared_ptr<dispatch::Queue> uploaderQueue_;
  const std::shared_ptr<ZTCORStoragePromiseProtocol> storage_;
  const std::shared_ptr<ZTCCTUploadMetadataProvider> metadataProvider_;
  const std::shared_ptr<ZTCORMetricsControllerProtocol> metricsController_;

  // Touched on the uploader's queue only.
  std::shared_ptr<net::URLSession> uploaderSession_;
  std::shared_ptr<ZTCORMetrics> currentMetrics_;
  std::optional<int64_t> takenBatchID_;  // until the answer decided its fate
  std::atomic<uint64_t> backgroundTask_{0};  // its expiration may come on another thread
  std::atomic<bool> uploadAttempted_{false};
};
