// SKAdNetwork conversion values: after an upload the engine asks the
// measurement service for the value it computed from the uploaded events,
// hands it to the system's attribution service and logs it as "_skan".
// Every step runs on the worker queue; the alarms and the network
// completion hold the engine weakly.
#include <cmath>
#include <limits>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNumericUtil.h"
#include "Libraries/Measurement/Storage/MSREndpoints.h"
#include "Libraries/TelemetryFoundation/ZULGzip.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/Foundation/StringCase.h"
#include "Platform/Foundation/URLComponents.h"
#include "Platform/StoreKit/AdNetwork.h"

namespace {

using Response = MSRPBSkAdNetworkConversionValueResponse;

// Field indexes of the request and the response.
constexpr int32_t kRequestLibraryVersion = 0, kRequestAppID = 1, kRequestAppInstanceID = 2, kRequestSKANVersion = 3,
                  kRequestEvaluationEventTime = 4, kRequestLastUploadedEventTime = 5;
constexpr int32_t kResponseStatus = 0, kResponseMessage = 1, kResponseFineValue = 2, kResponseCoarseValue = 3,
                  kResponseLockWindow = 4, kResponseResultTime = 5, kResponseEvaluationEventTime = 6,
                  kResponseBackoff = 7;

constexpr int32_t kStatusValueToSet = 1, kStatusNothingToSet = 2;
constexpr int32_t kCoarseLow = 1, kCoarseMedium = 2, kCoarseHigh = 3;

// The postback windows, from first open: the first one's end belongs to it.
constexpr int64_t kFirstPostbackWindowMillis = 172800000;  // 2 days
constexpr int64_t kAllPostbackWindowsMillis = 3024000000;  // 35 days

// The system's error the value still counts as set with.
constexpr int64_t kAdNetworkErrorStillSet = 10;

int64_t nowMillis() { return MSRMillisecondsFromSeconds(ns::Clock::now().timeIntervalSince1970()); }

// now - then, held at the int64 range: the first open time is a persisted
// number another version may have written.
int64_t millisecondsSince(int64_t then) {
  int64_t elapsed;
  if (!__builtin_sub_overflow(nowMillis(), then, &elapsed)) return elapsed;
  return then < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

bool isOSAtLeast(int64_t major, int64_t minor) {
  return ns::ProcessInfo::processInfo().isOperatingSystemAtLeastVersion({major, minor, 0});
}

std::shared_ptr<MSRRemoteConfig> engineConfig(const MSRMeasurement& engine) {
  auto config = engine.remoteConfigInstance();
  return config ? config : MSRRemoteConfig::defaultInstance();
}

ns::URL SKANURL() {
  ns::URLComponents components = ns::URLComponents::withURL(MSREndpoints::uploadURL());
  components.setPath("/skan");
  auto url = components.url();
  return url ? *url : MSREndpoints::uploadURL();
}

}  // namespace

std::string MSRMeasurement::SKANVersion() {
  if (isOSAtLeast(16, 1)) return "4.0";
  if (isOSAtLeast(14, 6)) return "3.0";
  if (isOSAtLeast(14, 5)) return "2.2";
  if (isOSAtLeast(14, 0)) return "2.1";
  if (isOSAtLeast(13, 7)) return "1.0";
  return "0";
}

bool MSRMeasurement::isInFirstSKANPostbackWindow() {
  return millisecondsSince(persistedConfig_->firstOpenTimestampMilliseconds()) <= kFirstPostbackWindowMillis;
}

bool MSRMeasurement::isPastAllSKANPostbackWindows() {
  return millisecondsSince(persistedConfig_->firstOpenTimestampMilliseconds()) > kAllPostbackWindowsMillis;
}

bool MSRMeasurement::isValidFineConversionValue(int64_t value) { return value >= 0 && value <= 63; }

std::string MSRMeasurement::convertCoarseConversionValueFromProtoValue(int64_t value) {
  if (value == kCoarseHigh) return sk::kAdNetworkCoarseConversionValueHigh;
  if (value == kCoarseMedium) return sk::kAdNetworkCoarseConversionValueMedium;
  return sk::kAdNetworkCoarseConversionValueLow;
}

int32_t MSRMeasurement::SKANFetchRetryLimit() {
  const int64_t evaluationTime = persistedConfig_->SKANEvaluationEventTimeMillis();
  const int64_t backoff = persistedConfig_->SKANEvaluationUpdateBackoffMillis();
  // Both come from the server: their sum must not wrap round into the past.
  if (evaluationTime >= 1 && backoff >= 1 && MSRSaturatingAdd(evaluationTime, backoff) >= nowMillis()) return 1;
  auto config = engineConfig(*this);
  return isInFirstSKANPostbackWindow() ? config->SKANFirstWindowCVFetchRetryLimit() : config->SKANCVFetchRetryLimit();
}

bool MSRMeasurement::shouldFetchSKANConversionValue() {
  return isOSAtLeast(16, 1) && engineConfig(*this)->SKANUpdateConversionValueEnabled() &&
         !isPastAllSKANPostbackWindows() && !isSKANRequestInProgress_;
}

void MSRMeasurement::scheduleSKANCVFetchAfterDataUpload() {
  if (!shouldFetchSKANConversionValue()) return;
  if (!SKANDelayAlarm_) {
    SKANDelayAlarm_ = MSRAlarm::initWithDispatchQueue(scheduler_->workerQueue(), "SKAN conversion value delay fetch");
  }
  auto config = engineConfig(*this);
  const double delay =
      isInFirstSKANPostbackWindow() ? config->SKANFirstWindowCVFetchDelay() : config->SKANInitialCVFetchDelay();
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  SKANDelayAlarm_->runAfterDelay(delay, [weak] {
    if (auto engine = weak.lock()) engine->fetchSKANCV();
  });
}

void MSRMeasurement::fetchSKANCV() {
  if (!shouldFetchSKANConversionValue()) return;
  auto log = monitor();
  if (!isNetworkReadyForRequest()) {
    log->logWithLevel(7, 23240,
                      "Network operation is pending. Request to fetch SKAdNetwork conversion value postponed.");
    return;
  }
  if (!network_ || !network_->isNetworkConnected()) {
    fetchSKANWhenNetworkConnected_ = true;
    // The upload schedule listens only while data waits: this fetch must
    // hear the network come back even when nothing else does.
    listenForReachabilityChanges();
    return;
  }
  isSKANRequestInProgress_ = true;
  fetchSKANWhenNetworkConnected_ = false;
  isNetworkRequestPending_ = true;
  auto config = engineConfig(*this);
  network_->setTimeoutInterval(config->networkTimeout());
  if (SKANDelayAlarm_) SKANDelayAlarm_->cancel();
  if (SKANRetryAlarm_) SKANRetryAlarm_->cancel();

  auto request = MSRPBSkAdNetworkConversionValueRequest::initWithMessageInfo(nullptr);
  MSRPBMessageSetInt64(request.get(), kRequestLibraryVersion, MSRIdentity::dudUziroruvozaLibraryVersion());
  MSRPBMessageSetString(request.get(), kRequestAppID, appID_);
  if (auto identity = this->identity()) {
    if (auto appInstanceID = identity->appInstanceID()) {
      MSRPBMessageSetString(request.get(), kRequestAppInstanceID, *appInstanceID);
    }
  }
  MSRPBMessageSetString(request.get(), kRequestSKANVersion, SKANVersion());
  MSRPBMessageSetInt64(request.get(), kRequestEvaluationEventTime, persistedConfig_->SKANEvaluationEventTimeMillis());
  MSRPBMessageSetInt64(request.get(), kRequestLastUploadedEventTime,
                       persistedConfig_->lastUploadedEventTimestampMillis());

  // The network client may report a request twice (a failed start, then
  // its session's end): only the first report of the fetch in flight counts.
  const uint64_t number = ++SKANRequestNumber_;
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  network_->postURL(SKANURL(), net::HTTPHeaderFields{{"Accept-Encoding", "gzip"}},
                    request->protoBuffer().value_or(ns::Data{}), scheduler_->workerQueue(), false,
                    [weak, number](std::optional<net::HTTPURLResponse> response, std::optional<ns::Data> data,
                                   std::optional<ns::Error> error) {
                      auto engine = weak.lock();
                      if (!engine || number != engine->SKANRequestNumber_ || !engine->isSKANRequestInProgress_) return;
                      engine->isSKANRequestInProgress_ = false;
                      engine->fetchSKANWhenNetworkConnected_ = false;
                      engine->isNetworkRequestPending_ = false;
                      engine->handleSKANFetchResponse(response, data, error);
                    });
}

void MSRMeasurement::handleSKANFetchResponse(const std::optional<net::HTTPURLResponse>& response,
                                             const std::optional<ns::Data>& data,
                                             const std::optional<ns::Error>& error) {
  auto log = monitor();
  const int status = response ? response->statusCode() : 0;
  if (status == 304) {
    stopProcessingSKANResponseAndResetRetryCount();
    return;
  }
  if (status != 200) {
    log->logWithLevel(7, 23241, "Network request failed to fetch SKAN conversion value. Code, Error",
                      MSRLogContext(ns::Value(status)),
                      error ? MSRLogContext(*error) : MSRLogContext(ns::Value("(nil)")));
    maybeScheduleSKANCVFetchRetry();
    return;
  }
  ns::Data body = data.value_or(ns::Data{});
  if (ns::lowercaseString(response->valueForHTTPHeaderField("Content-Encoding").value_or("")) == "gzip") {
    // The HTTP layer may already have inflated a labelled body: one that
    // does not inflate again is kept as it came.
    if (auto inflated = ZULGzip::zul_dataByInflatingGzippedData(body, nullptr)) body = std::move(*inflated);
  }
  if (body.empty()) {
    log->logWithLevel(1, 23242, "No SKAdNetwork conversion value data returned.");
    stopProcessingSKANResponseAndResetRetryCount();
    return;
  }
  auto message = Response::initWithBuffer(body);
  if (!message) {
    log->logWithLevel(1, 23243, "Invalid SKAdNetwork conversion value data returned.");
    stopProcessingSKANResponseAndResetRetryCount();
    return;
  }
  const int32_t result =
      MSRPBMessageHasField(message.get(), kResponseStatus) ? MSRPBMessageGetInt32(message.get(), kResponseStatus) : 0;
  if (result == kStatusValueToSet) {
    updateSKANPostbackConversionValueFromResponse(message);
  } else if (result == kStatusNothingToSet) {
    stopProcessingSKANResponseAndResetRetryCount();
  } else {
    maybeScheduleSKANCVFetchRetry();
  }
}

void MSRMeasurement::updateSKANPostbackConversionValueFromResponse(
    const std::shared_ptr<MSRPBSkAdNetworkConversionValueResponse>& response) {
  if (!response || !isOSAtLeast(16, 1)) return;
  auto log = monitor();
  const auto* message = response.get();
  auto has = [message](int32_t index) { return MSRPBMessageHasField(message, index); };
  if (!has(kResponseEvaluationEventTime)) {
    log->logWithLevel(1, 23244, "SKAdNetwork conversion value data missing event time field.");
    maybeScheduleSKANCVFetchRetry();
    return;
  }
  if (!has(kResponseFineValue) && !has(kResponseCoarseValue)) {
    log->logWithLevel(1, 23251, "SKAdNetwork fine and coarse conversion values missing.");
    stopProcessingSKANResponseAndResetRetryCount();
    return;
  }
  const int32_t fine = has(kResponseFineValue) ? MSRPBMessageGetInt32(message, kResponseFineValue) : 0;
  const std::string coarse = convertCoarseConversionValueFromProtoValue(
      has(kResponseCoarseValue) ? MSRPBMessageGetInt32(message, kResponseCoarseValue) : kCoarseLow);
  const bool lockWindow = has(kResponseLockWindow) && MSRPBMessageGetBool(message, kResponseLockWindow);
  if (!isValidFineConversionValue(fine)) {
    log->logWithLevel(1, 23245, "Invalid SKAdNetwork fine conversion value. Fine value", ns::Value(fine));
    stopProcessingSKANResponseAndResetRetryCount();
    return;
  }
  if (!has(kResponseResultTime)) {
    log->logWithLevel(1, 23255, "SKAdNetwork conversion value data missing result time field.");
    maybeScheduleSKANCVFetchRetry();
    return;
  }
  if (nowMillis() > MSRPBMessageGetInt64(message, kResponseResultTime)) {
    log->logWithLevel(4, 23246, "SKAdNetwork conversion value expired.");
    maybeScheduleSKANCVFetchRetry();
    return;
  }
  const int64_t evaluationTime = MSRPBMessageGetInt64(message, kResponseEvaluationEventTime);
  if (evaluationTime < persistedConfig_->lastUploadedEventTimestampMillis()) {
    log->logWithLevel(4, 23247, "Received outdated SKAdNetwork conversion value.");
    maybeScheduleSKANCVFetchRetry();
    return;
  }
  SKANRetryCount_ = 0;
  persistedConfig_->setSKANEvaluationEventTimeMillis(evaluationTime);
  persistedConfig_->setSKANEvaluationUpdateBackoffMillis(
      has(kResponseBackoff) ? MSRPBMessageGetInt64(message, kResponseBackoff) : 0);
  log->logWithLevel(7, 23248, "Updating SKAdNetwork postback conversion value.");
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  std::weak_ptr<MSRScheduler> scheduler = scheduler_;
  sk::AdNetwork::updatePostbackConversionValue(
      fine, coarse, lockWindow, [weak, scheduler, response](std::optional<ns::Error> error) {
        // The system answers on a queue of its own: back to the worker
        // queue before the engine is touched.
        auto worker = scheduler.lock();
        if (!worker) return;
        worker->scheduleOnWorkerQueueBlockID("MSRMeasurement:425", [weak, response, error] {
          if (auto engine = weak.lock()) engine->handleSKANUpdatePostbackCompletion(response, error);
        });
      });
}

void MSRMeasurement::handleSKANUpdatePostbackCompletion(
    const std::shared_ptr<MSRPBSkAdNetworkConversionValueResponse>& response, const std::optional<ns::Error>& error) {
  if (error && !(error->domain() == sk::kAdNetworkErrorDomain && error->code() == kAdNetworkErrorStillSet)) {
    monitor()->logWithLevel(1, 23249, "SKAdNetwork postback conversion value update failed. Error",
                            MSRLogContext(*error));
    return;
  }
  if (!response) return;
  const auto* message = response.get();
  MSRValueMap parameters;
  if (auto text = MSRPBMessageGetString(message, kResponseMessage)) {
    parameters.insert_or_assign("_skanm", MSRValue::initWithString(*text));
  }
  if (MSRPBMessageHasField(message, kResponseFineValue)) {
    parameters.insert_or_assign("_skanf", MSRValue::initWithInt64(MSRPBMessageGetInt32(message, kResponseFineValue)));
  }
  if (MSRPBMessageHasField(message, kResponseCoarseValue)) {
    parameters.insert_or_assign("_skanc", MSRValue::initWithInt64(MSRPBMessageGetInt32(message, kResponseCoarseValue)));
  }
  if (MSRPBMessageHasField(message, kResponseLockWindow)) {
    parameters.insert_or_assign("_skanl",
                                MSRValue::initWithInt64(MSRPBMessageGetBool(message, kResponseLockWindow) ? 1 : 0));
  }
  if (MSRPBMessageHasField(message, kResponseEvaluationEventTime)) {
    parameters.insert_or_assign("_skane",
                                MSRValue::initWithInt64(MSRPBMessageGetInt64(message, kResponseEvaluationEventTime)));
  }
  auto event =
      MSREvent::initWithOrigin("auto", false, "_skan", ns::Clock::now().timeIntervalSince1970(), 0, parameters);
  handleInternalEventOnWorkerQueue(event);
}

void MSRMeasurement::maybeScheduleSKANCVFetchRetry() {
  SKANRetryCount_ = MSRSaturatingAdd(SKANRetryCount_, 1);
  if (SKANRetryCount_ > SKANFetchRetryLimit()) {
    monitor()->logWithLevel(4, 23250, "Reached retry limit for SKAdNetwork conversion value fetch.");
    return;
  }
  if (!SKANRetryAlarm_) {
    SKANRetryAlarm_ = MSRAlarm::initWithDispatchQueue(scheduler_->workerQueue(), "SKAN conversion value fetch timer");
  }
  auto config = engineConfig(*this);
  const double interval = isInFirstSKANPostbackWindow() ? config->SKANFirstWindowCVFetchRetryInterval()
                                                        : config->SKANCVFetchRetryInterval();
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  SKANRetryAlarm_->runAfterDelay(interval, [weak] {
    if (auto engine = weak.lock()) engine->fetchSKANCV();
  });
}

void MSRMeasurement::stopProcessingSKANResponseAndResetRetryCount() { SKANRetryCount_ = 0; }

void MSRMeasurement::maybeFetchSKANCVAfterReachabilityChange() {
  if (fetchSKANWhenNetworkConnected_ && network_ && network_->isNetworkConnected()) fetchSKANCV();
}
