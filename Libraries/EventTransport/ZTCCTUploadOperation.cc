#include "Libraries/EventTransport/ZTCCTUploadOperation.h"

#include <cctype>
#include <cstdlib>
#include <utility>

#include "Libraries/EventTransport/ZTCCTCompressionHelper.h"
#include "Libraries/EventTransport/ZTCCTNanopbHelpers.h"
#include "Libraries/EventTransport/ZTCCTUploader.h"
#include "Libraries/EventTransport/ZTCORApplication.h"
#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/TelemetryFoundation/ZULURLSessionDataResponse.h"
#include "Libraries/TelemetryFoundation/ZULURLSessionPromises.h"

namespace {

constexpr double kBatchExpirationSeconds = 600;
constexpr int64_t kDefaultWaitMillis = 900000;  // 15 minutes
// Longer waits than a day are taken as nonsense, not as a reason to stop
// uploading for the life of the process.
constexpr int64_t kLongestWaitSeconds = 86400;

// Ends a step chain without a further report.
ns::Error stop(const char* why) {
  ns::Dictionary info;
  info.set(ns::kLocalizedFailureReasonErrorKey, std::string(why));
  return ns::Error("ZTCCTUploadOperation", 0, std::move(info));
}

// Whole seconds of a "Retry-After" given as a plain decimal number (a
// fraction is dropped); none for anything else or outside 0 to a day.
std::optional<int64_t> retryAfterSeconds(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t");
  if (begin == std::string::npos) return std::nullopt;
  std::string number = text.substr(begin, end - begin + 1);
  size_t i = 0;
  int64_t seconds = 0;
  for (; i < number.size() && std::isdigit(static_cast<unsigned char>(number[i])); ++i) {
    seconds = seconds * 10 + (number[i] - '0');
    if (seconds > kLongestWaitSeconds) return std::nullopt;
  }
  if (i == 0) return std::nullopt;
  if (i < number.size() && number[i] == '.') {
    for (++i; i < number.size() && std::isdigit(static_cast<unsigned char>(number[i])); ++i) {
    }
  }
  if (i != number.size()) return std::nullopt;
  return seconds;
}

}  // namespace

ZTCCTUploadOperation::ZTCCTUploadOperation(ZTCORUploadTargetID target, ZTCORUploadConditions conditions,
                                           std::optional<ns::URL> uploadURL, std::shared_ptr<dispatch::Queue> queue,
                                           std::shared_ptr<ZTCORStoragePromiseProtocol> storage,
                                           std::shared_ptr<ZTCCTUploadMetadataProvider> metadataProvider,
                                           std::shared_ptr<ZTCORMetricsControllerProtocol> metricsController)
    : target_(target),
      conditions_(conditions),
      uploadURL_(std::move(uploadURL)),
      uploaderQueue_(std::move(queue)),
      storage_(std::move(storage)),
      metadataProvider_(std::move(metadataProvider)),
      metricsController_(std::move(metricsController)) {}

bool ZTCCTUploadOperation::uploadAttempted() const { return uploadAttempted_.load(); }

void ZTCCTUploadOperation::main() {
  ZTCORLogDebug("Upload operation started: %@", name());
  auto self = std::static_pointer_cast<ZTCCTUploadOperation>(shared_from_this());
  auto queue = uploaderQueue_;
  queue->async([self, queue] {
    std::weak_ptr<ZTCCTUploadOperation> weak = self;
    self->backgroundTask_ = ZTCORApplication::sharedApplication()->beginBackgroundTaskWithName(
        "ZTCCTUploader-upload", [weak] {
          if (auto operation = weak.lock()) operation->endBackgroundTask();
        });
    self->uploadChain()
        ->recover(queue, [](const ns::Error&) -> PRMObject { return nullptr; })
        ->then(queue, [self](const PRMObject&) -> PRMObject { return self->giveBackBatch(); })
        ->always(queue, [self] {
          self->finish();
          self->endBackgroundTask();
        });
  });
}

void ZTCCTUploadOperation::endBackgroundTask() {
  uint64_t task = backgroundTask_.exchange(0);
  if (task != 0) ZTCORApplication::sharedApplication()->endBackgroundTask(task);
}

PRMPromise::Ptr ZTCCTUploadOperation::uploadChain() {
  auto self = std::static_pointer_cast<ZTCCTUploadOperation>(shared_from_this());
  auto queue = uploaderQueue_;
  return PRMPromise::do_(queue,
                         [self]() -> PRMObject {
                           if (!self->readyToUploadTarget()) {
                             ns::Dictionary info;
                             info.set(ns::kLocalizedFailureReasonErrorKey,
                                      ns::format("Target %ld is not ready to upload with condition: %ld",
                                                 self->target_, self->conditions_));
                             return ns::Error("ZTCCTUploader", -1, std::move(info));
                           }
                           if (self->isCancelled()) return stop("cancelled");
                           return self->storage_->removeAllBatchesForTarget(self->target_, false);
                         })
      ->then(queue, [self](const PRMObject&) -> PRMObject { return self->storage_->hasEventsForTarget(self->target_); })
      ->then(queue,
             [self](const PRMObject& hasEvents) -> PRMObject {
               if (!hasEvents.value() || !hasEvents.value()->boolValue()) return stop("no events");
               return self->storage_->batchWithEventSelector(
                   self->eventSelector(), ns::Date::now().addingTimeInterval(kBatchExpirationSeconds));
             })
      ->then(queue,
             [self](const PRMObject& taken) -> PRMObject {
               auto batch = taken.object<ZTCORUploadBatch>();
               if (!batch) return stop("no batch");
               self->takenBatchID_ = batch->batchID();
               return self->batchByAddingMetricsEvent(batch);
             })
      ->then(queue, [self](const PRMObject& taken) -> PRMObject {
        auto batch = taken.object<ZTCORUploadBatch>();
        if (!batch) return stop("no batch");
        if (self->isCancelled()) return stop("cancelled");
        self->uploadAttempted_ = true;
        return self->uploadBatch(batch);
      });
}

bool ZTCCTUploadOperation::readyToUploadTarget() {
  if (conditions_ & ZTCORUploadConditionNoNetwork) {
    ZTCORLogDebug("%@", "CCT: Not ready to upload without a network connection.");
    return false;
  }
  if (conditions_ & ZTCORUploadConditionHighPriority) {
    ZTCORLogDebug("%@", "CCT: a high priority event is allowing an upload");
    return true;
  }
  auto next = metadataProvider_->nextUploadTimeForTarget(target_);
  // Ready from the moment the wait ends: a wait of 0 holds nothing back.
  if (!next || !next->isAfter(*ZTCORClock::snapshot())) {
    ZTCORLogDebug("CCT: can upload to target %ld because the request wait time has transpired", target_);
    return true;
  }
  ZTCORLogDebug("CCT: can't upload to target %ld because the backend asked to wait", target_);
  return false;
}

ZTCORStorageEventSelector ZTCCTUploadOperation::eventSelector() const {
  if (conditions_ & ZTCORUploadConditionHighPriority) return ZTCORStorageEventSelector::eventSelectorForTarget(target_);
  std::set<ZTCOREventQoSTier> tiers;
  if (conditions_ & ZTCORUploadConditionWifiData) tiers.insert({4, 5, 3, 1, 0});
  if (conditions_ & ZTCORUploadConditionMobileData) tiers.insert({4, 3});
  return ZTCORStorageEventSelector(target_, std::nullopt, std::nullopt, tiers);
}

PRMPromise::Ptr ZTCCTUploadOperation::batchByAddingMetricsEvent(std::shared_ptr<ZTCORUploadBatch> batch) {
  if (!metricsController_) return PRMPromise::resolvedWith(batch);
  auto self = std::static_pointer_cast<ZTCCTUploadOperation>(shared_from_this());
  return metricsController_->getAndResetMetrics()
      ->then(uploaderQueue_,
             [self, batch](const PRMObject& taken) -> PRMObject {
               auto metrics = taken.object<ZTCORMetrics>();
               if (!metrics) return batch;
               self->currentMetrics_ = metrics;
               ZTCOREventSet events = batch->events();
               if (auto event = ZTCOREvent::eventWithMetrics(metrics, self->target_)) events.insert(event);
               return std::make_shared<ZTCORUploadBatch>(batch->batchID(), std::move(events));
             })
      ->recover(uploaderQueue_, [batch](const ns::Error&) -> PRMObject { return batch; });
}

std::optional<net::URLRequest> ZTCCTUploadOperation::constructRequestWithURL(const ns::URL& url,
                                                                             ZTCORUploadTargetID target,
                                                                             const ns::Data& data) {
  if (data.empty()) {
    ZTCORLogDebug("There was no data to construct a request for target %ld.", target);
    return std::nullopt;
  }
  net::URLRequest request(url);
  request.setHTTPMethod("POST");
  request.setHTTPBody(data);
  if (target != kZTCORTargetCCT) {
    if (auto key = metadataProvider_->APIKeyForTarget(target)) request.setValue(*key, "X-Zoro-Api-Key");
  }
  if (ZTCCTCompressionHelper::isGzipped(data)) request.setValue("gzip", "Content-Encoding");
  request.setValue("application/x-protobuf", "Content-Type");
  request.setValue("gzip", "Accept-Encoding");
  request.setValue(ns::format("eventtransport/%@ %@support/%@ apple/", "Unknown", ZTCORTargetShortName(target), "UNKNOWN"),
                   "User-Agent");
  return request;
}

void ZTCCTUploadOperation::willPerformHTTPRedirection(net::URLSession&, net::URLSessionTask& task,
                                                      const net::HTTPURLResponse& response,
                                                      const net::URLRequest& newRequest,
                                                      net::RedirectCompletion completion) {
  int status = response.statusCode();
  if (status != 301 && status != 302) {
    completion(newRequest);
    return;
  }
  const ns::Data* body = task.originalRequest().httpBody();
  completion(constructRequestWithURL(newRequest.url(), kZTCORTargetCCT, body ? *body : ns::Data{}));
}

PRMPromise::Ptr ZTCCTUploadOperation::uploadBatch(std::shared_ptr<ZTCORUploadBatch> batch) {
  ns::Data plain = ZTCCTConstructRequestProtoWithEvents(batch->events());
  auto gzipped = ZTCCTCompressionHelper::gzippedData(plain);
  const ns::Data& body = gzipped && gzipped->size() < plain.size() ? *gzipped : plain;
  auto request = uploadURL_ ? constructRequestWithURL(*uploadURL_, target_, body) : std::nullopt;
  // Without a request (the encoding failed, or no address) the batch goes
  // back whole and its metrics are offered back (giveBackBatch).
  if (!request) return PRMPromise::resolvedWith(stop("no request"));
  ZTCORLogDebug("CTT: request containing %lu events for batch: %@ for target: %ld created: %@",
                static_cast<unsigned long>(batch->events().size()), batch->batchID(), target_,
                request->url().absoluteString());

  auto self = std::static_pointer_cast<ZTCCTUploadOperation>(shared_from_this());
  if (!uploaderSession_) {
    uploaderSession_ = net::URLSession::create(net::URLSessionConfiguration::defaultSessionConfiguration(),
                                               std::static_pointer_cast<net::URLSessionDelegate>(self));
  }
  auto session = uploaderSession_;
  // Started from the uploader's queue: an upload must not wait for the main thread.
  return ZULPromises::zul_dataTaskPromiseWithRequest(uploaderQueue_, *session, *request)
      ->always(uploaderQueue_, [session] { session->finishTasksAndInvalidate(); })
      ->then(uploaderQueue_, [self, batch](const PRMObject& answered) -> PRMObject {
        auto response = answered.object<ZULURLSessionDataResponse>();
        if (!response || !response->HTTPResponse()) return stop("no response");
        self->updateNextUploadTime(*response->HTTPResponse(), response->HTTPBody());
        return self->processResponse(response->HTTPResponse()->statusCode(), batch);
      });
}

void ZTCCTUploadOperation::updateNextUploadTime(const net::HTTPURLResponse& response,
                                                const std::optional<ns::Data>& body) {
  std::shared_ptr<ZTCORClock> next;
  ns::Error error;
  auto decoded = ZTCCTDecodeUploadResponse(body.value_or(ns::Data{}), &error);
  if (!error.domain().empty()) ZTCORLogDebug("There was a response decoding error: %@", error.description());
  if (decoded.nextRequestWaitMillis && *decoded.nextRequestWaitMillis >= 0 &&
      *decoded.nextRequestWaitMillis <= kLongestWaitSeconds * 1000) {
    ZTCORLogDebug("CCT: The backend responded asking to not upload for %lld millis from now.",
                  static_cast<long long>(*decoded.nextRequestWaitMillis));
    next = ZTCORClock::clockSnapshotInTheFuture(*decoded.nextRequestWaitMillis);
  }
  if (!next) {
    auto retryAfter = response.valueForHTTPHeaderField("Retry-After");
    auto seconds = retryAfter ? retryAfterSeconds(*retryAfter) : std::nullopt;
    if (seconds) next = ZTCORClock::clockSnapshotInTheFuture(*seconds * 1000);
  }
  if (!next) {
    ZTCORLogDebug("%@", "CCT: The backend response failed to parse, so the next request won't occur until 15 "
                        "minutes from now");
    next = ZTCORClock::clockSnapshotInTheFuture(kDefaultWaitMillis);
  }
  metadataProvider_->setNextUploadTime(next, target_);
}

PRMPromise::Ptr ZTCCTUploadOperation::processResponse(int status, const std::shared_ptr<ZTCORUploadBatch>& batch) {
  int64_t batchID = *std::exchange(takenBatchID_, std::nullopt);
  auto metrics = std::exchange(currentMetrics_, nullptr);
  PRMArray work;
  if (status >= 200 && status <= 299) {
    ZTCORLogDebug("CCT: batch %@ uploaded. Batch will be deleted.", batchID);
    work.push_back(storage_->removeBatchWithID(batchID, true));
    return PRMPromise::all(uploaderQueue_, work);
  }
  if (metrics && metricsController_) work.push_back(metricsController_->offerMetrics(metrics));
  if (status == 404 || status == 429 || (status >= 500 && status <= 599)) {
    ZTCORLogDebug("CCT: batch %@ upload failed. Batch will attempt to be uploaded later.", batchID);
    work.push_back(storage_->removeBatchWithID(batchID, false));
    return PRMPromise::all(uploaderQueue_, work);
  }
  ZTCORLogDebug("CCT: batch %@ upload failed. Batch will be deleted.", batchID);
  work.push_back(storage_->removeBatchWithID(batchID, true));
  if (status == 400 && metricsController_) {
    work.push_back(metricsController_->logEventsDroppedForReason(5, batch->events()));
  }
  return PRMPromise::all(uploaderQueue_, work);
}

PRMPromise::Ptr ZTCCTUploadOperation::giveBackBatch() {
  PRMArray work;
  if (auto metrics = std::exchange(currentMetrics_, nullptr); metrics && metricsController_) {
    work.push_back(metricsController_->offerMetrics(metrics));
  }
  if (auto batchID = std::exchange(takenBatchID_, std::nullopt)) {
    work.push_back(storage_->removeBatchWithID(*batchID, false));
  }
  return PRMPromise::all(uploaderQueue_, work);
}
