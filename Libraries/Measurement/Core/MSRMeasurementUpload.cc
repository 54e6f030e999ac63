// The batch upload: pending raw events are bundled, a batch of queued
// bundles of one app and one device is stamped with identifiers, consent
// and data controls and posted; the answer deletes the bundles or counts a
// retry against them and decides what comes next.
#include <algorithm>
#include <cmath>

#include "Libraries/Measurement/Core/MSRBundleIdentifiers.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"
#include "Libraries/Measurement/Core/MSRTimeSinceBoot.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"

namespace {

// Field indexes of the bundle, batch and user property messages.
constexpr int32_t kBatchBundles = 0;
constexpr int32_t kBundleUserAttributes = 2, kBundleUploadTime = 3, kBundleEnd = 5, kBundleOSVersion = 9,
                  kBundleDeviceModel = 10, kBundleAppID = 14, kBundleUploadLibraryVersion = 18,
                  kBundleResettableDeviceID = 19, kBundleVendorDeviceID = 20, kBundleLimitedAdTracking = 21,
                  kBundleAppInstanceID = 22, kBundleChecksum = 38, kBundleConsentSignals = 40,
                  kBundleTrackingStatus = 41, kBundleSessionStitchingToken = 43, kBundleRedactedFields = 44,
                  kBundleEphemeralAppInstanceID = 45;
constexpr int32_t kUserAttributeName = 1;

double now() { return ns::Clock::now().timeIntervalSince1970(); }

std::string stringField(const MSRPBMeasurementBundle& bundle, int32_t index) {
  return MSRPBMessageGetString(&bundle, index).value_or("");
}

bool contains(const std::vector<std::string>& list, const char* item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

void MSRMeasurement::applyDataControls(MSRPBMeasurementBundle& bundle, const std::vector<std::string>& controls,
                          MSRIdentity* identity) {
  if (controls.empty()) return;
  if (contains(controls, "app_instance_id")) {
    MSRPBMessageClearField(&bundle, kBundleAppInstanceID);
    if (identity) MSRPBMessageSetString(&bundle, kBundleEphemeralAppInstanceID, identity->ephemeralAppInstanceID());
  }
  if (contains(controls, "user_id")) {
    auto properties = MSRPBMessageGetArray<MSRPBUserAttribute>(&bundle, kBundleUserAttributes);
    if (properties) {
      MSRPBArray kept;
      for (const auto& element : *properties) {
        auto property = MSRPBArrayElementMessage<MSRPBUserAttribute>(element);
        if (property && MSRPBMessageGetString(property.get(), kUserAttributeName) == "_id") continue;
        kept.push_back(element);
      }
      if (kept.size() != properties->size()) MSRPBMessageSetArray(&bundle, kBundleUserAttributes, kept);
    }
  }
  const bool deviceInfo = contains(controls, "device_info");
  if (deviceInfo || contains(controls, "os_version")) {
    if (auto version = MSRPBMessageGetString(&bundle, kBundleOSVersion)) {
      size_t dot = version->find('.');
      if (dot != std::string::npos) MSRPBMessageSetString(&bundle, kBundleOSVersion, version->substr(0, dot));
    }
  }
  if (deviceInfo || contains(controls, "device_model")) MSRPBMessageClearField(&bundle, kBundleDeviceModel);
  if (contains(controls, "enhanced_user_id")) MSRPBMessageClearField(&bundle, kBundleSessionStitchingToken);
  MSRPBArray redacted;
  for (const auto& control : controls) redacted.emplace_back(ns::Value(control));
  MSRPBMessageSetArray(&bundle, kBundleRedactedFields, redacted);
}

bool MSRMeasurement::isNetworkReadyForRequest() {
  const bool networkBusy = network_ && network_->hasUploadInProgress();
  if (!isNetworkRequestPending_) return !networkBusy;
  if (!networkBusy) monitor()->logWithLevel(1, 23041, "Analytics is uploading but network is not uploading");
  return false;
}

std::vector<MSRQueuedBundle> MSRMeasurement::filteredBundlesWithCompatibleAppID(
    const std::optional<std::string>& appID, const std::optional<std::string>& resettableDeviceID,
    const std::optional<std::string>& vendorDeviceID, const std::vector<MSRQueuedBundle>& bundles) {
  const bool hasResettable = resettableDeviceID && !resettableDeviceID->empty();
  const bool hasVendor = vendorDeviceID && !vendorDeviceID->empty();
  if (hasResettable && hasVendor) {
    monitor()->logWithLevel(2, 23042, "Bundle filter must not specify both resettableDeviceID and vendorDeviceID");
    return {};
  }
  const std::string filter = hasResettable ? *resettableDeviceID : hasVendor ? *vendorDeviceID : "";
  const int32_t compared = hasResettable ? kBundleResettableDeviceID : kBundleVendorDeviceID;
  const std::string app = appID.value_or("");
  size_t end = 0;
  for (; end < bundles.size(); ++end) {
    const auto& bundle = *bundles[end].first;
    const std::string device = stringField(bundle, compared);
    if (!device.empty() && !filter.empty() && device != filter) break;
    if (stringField(bundle, kBundleAppID) != app) break;
  }
  return std::vector<MSRQueuedBundle>(bundles.begin(), bundles.begin() + static_cast<std::ptrdiff_t>(end));
}

void MSRMeasurement::setUploadInProgressWithBundleIDs(const std::vector<int64_t>& bundleIDs) {
  if (bundleIDs.empty()) {
    monitor()->logWithLevel(2, 23046, "Bundle list is empty. Cancelling upload");
    return;
  }
  if (uploadingBundleIDs_) {
    monitor()->logWithLevel(2, 23047, "Set uploading progress before finishing the previous upload");
    return;
  }
  uploadingBundleIDs_ = bundleIDs;
}

void MSRMeasurement::incrementRetryCounter() {
  auto database = this->database();
  if (!database || !uploadingBundleIDs_) return;
  ns::Error error;
  if (!database->incrementRetryCounterForBundlesWithIDs(*uploadingBundleIDs_, &error)) {
    monitor()->logWithLevel(2, 23166, "Failed to update the bundles' retry counts. Error", MSRLogContext(error));
  }
}

bool MSRMeasurement::removeBundlesFromDatabaseWithIDs(const std::vector<int64_t>& bundleIDs) {
  auto database = this->database();
  ns::Error error;
  if (database && database->deleteBundlesWithRowIDs(bundleIDs, &error)) return true;
  monitor()->logWithLevel(1, 23122, "Failed to delete bundles from database. Error", MSRLogContext(error));
  return false;
}

void MSRMeasurement::uploadData() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("uploadData");
  if (suspendedUploadTimestamp_.load() > 0) {
    updateSchedule();
    return;
  }
  auto log = monitor();
  log->logWithLevel(8, 23033, "Starting data upload");
  auto database = this->database();
  auto config = remoteConfigInstance();
  auto identity = this->identity();
  if (!database || !config || !identity) return;
  if (!isNetworkReadyForRequest()) {
    log->logWithLevel(8, 23034, "Network operation is pending. Ignoring upload request");
    return;
  }
  if (!network_ || !network_->isNetworkConnected()) {
    log->logWithLevel(7, 23035, "Network not connected, ignoring upload request");
    updateSchedule();
    return;
  }
  if (!config->isExpired()) {
    const int64_t steps = config->maxBundlesCreatedPerIteration();
    for (int64_t i = 0; i < steps && bundleRawEvents(); ++i) {
    }
  }
  ns::Error error;
  auto queried = database->queryBundlesWithCountLimit(config->uploadMaxBundlesLimit(), config->uploadMaxSizeLimitBytes(),
                                                      &error);
  if (!queried) {
    log->logWithLevel(1, 23036, "Failed to query bundles. Error", MSRLogContext(error));
    terminateBackgroundTask();
    return;
  }
  if (queried->empty()) {
    config->activateNewSnapshot();
    log->logWithLevel(8, 23037, "No data to upload");
    if (config->isExpired()) {
      fetchRemoteConfig();
    } else {
      terminateBackgroundTask();
    }
    return;
  }
  const std::string consent = MSRConsentSettingsUtil::consentSignals();
  const bool gate = config->gateIDFAOnATTMASEnabled();
  for (auto& [bundle, rowID] : *queried) MSRStampBundleWithIdentifiersAndConsent(*bundle, consent, gate, *identity);
  const double lastSuccess = persistedConfig_->lastSuccessfulUploadTimestamp();
  if (lastSuccess != 0) {
    log->logWithLevel(8, 23038, "Uploading events. Elapsed time since last successful upload (s)",
                      ns::Value(std::fabs(now() - lastSuccess)));
  }

  const auto& first = *queried->front().first;
  std::optional<std::string> resettable, vendor;
  for (const auto& [bundle, rowID] : *queried) {
    std::string r = stringField(*bundle, kBundleResettableDeviceID), v = stringField(*bundle, kBundleVendorDeviceID);
    if (!r.empty()) {
      resettable = r;
      break;
    }
    if (!v.empty()) {
      vendor = v;
      break;
    }
  }
  auto kept = filteredBundlesWithCompatibleAppID(stringField(first, kBundleAppID), resettable, vendor, *queried);

  const int64_t uploadMillis = static_cast<int64_t>(now() * 1000);
  const auto controls = config->dataControls();
  const bool checksum = config->checksumEnabled();
  int64_t largestEnd = 0;
  MSRPBArray bundles;
  std::vector<int64_t> rowIDs;
  for (auto& [bundle, rowID] : kept) {
    MSRPBMessageSetInt64(bundle.get(), kBundleUploadLibraryVersion, MSRIdentity::dudUziroruvozaLibraryVersion());
    MSRPBMessageSetInt64(bundle.get(), kBundleUploadTime, uploadMillis);
    applyDataControls(*bundle, controls, identity.get());
    if (checksum) {
      MSRPBMessageClearField(bundle.get(), kBundleChecksum);
      MSRPBMessageSetInt64(bundle.get(), kBundleChecksum, msr_64LSBMD5(bundle->protoBuffer().value_or(ns::Data{})));
    }
    largestEnd = std::max(largestEnd, MSRPBMessageGetInt64(bundle.get(), kBundleEnd));
    bundles.emplace_back(std::static_pointer_cast<NANOMessageBase>(bundle));
    rowIDs.push_back(rowID);
  }
  lastEventEndTimestampMsec_ = std::max(lastEventEndTimestampMsec_, largestEnd);
  auto batch = MSRPBMeasurementBatch::initWithMessageInfo(nullptr);
  MSRPBMessageSetArray(batch.get(), kBatchBundles, bundles);
  const ns::Data payload = batch->protoBuffer().value_or(ns::Data{});
  log->logWithLevel(7, 23039, "Measurement data sent to network. Timestamp (ms), data",
                    MSRLogContext(ns::Value(uploadMillis)),
                    MSRLogContext(ns::Value(std::to_string(bundles.size()) + " bundles, " +
                                            std::to_string(payload.size()) + " bytes")));

  setUploadInProgressWithBundleIDs(rowIDs);
  persistedConfig_->setLastFailedUploadTimestamp(now());
  isNetworkRequestPending_ = true;
  network_->setTimeoutInterval(config->networkTimeout());
  const uint64_t number = ++uploadNumber_;
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  auto sessionID = network_->postURL(
      config->uploadURL(), net::HTTPHeaderFields{}, payload,
      scheduler_->workerQueue(), shouldUseBackgroundSession(),
      [weak, number](std::optional<net::HTTPURLResponse> response, std::optional<ns::Data>,
                     std::optional<ns::Error> error) {
        if (auto engine = weak.lock()) {
          engine->uploadDidComplete(number, response ? response->statusCode() : 0,
                                    response ? response->expectedContentLength() : -1, error);
        }
      });
  // Without a session the failure still reaches the completion, which
  // counts the retry: the bundles stay marked as in flight until then.
  if (!sessionID || sessionID->empty()) log->logWithLevel(2, 23040, "Unable to create network session.");
}

void MSRMeasurement::uploadDidComplete(uint64_t uploadNumber, int statusCode, int64_t contentLength,
                                       const std::optional<ns::Error>& error) {
  // The network client may report one upload twice (a failed start and
  // then its session's end): only the first report counts.
  if (uploadNumber <= completedUploadNumber_) return;
  completedUploadNumber_ = uploadNumber;
  isNetworkRequestPending_ = false;
  networkUploadCompletionHandlerWithResponse(statusCode, contentLength, error);
}

void MSRMeasurement::networkUploadCompletionHandlerWithResponse(int statusCode, int64_t contentLength,
                                                                const std::optional<ns::Error>& error) {
  auto log = monitor();
  const double current = now();
  if (statusCode != 200 && statusCode != 204) {
    persistedConfig_->setLastFailedUploadTimestamp(current);
    if (statusCode == 503 || statusCode == 429) persistedConfig_->setLastBackoffTimestamp(current);
    log->logWithLevel(7, 23043, "Network upload failed. Will retry later. Code, error",
                      MSRLogContext(ns::Value(statusCode)),
                    error ? MSRLogContext(*error) : MSRLogContext(ns::Value("(nil)")));
    incrementRetryCounter();
    uploadingBundleIDs_.reset();
    updateSchedule();
    // The retry waits for the upload timer, which a suspended app does
    // not run: a background task kept for it would only hold off the
    // suspension until the system expires the task.
    terminateBackgroundTask();
    return;
  }
  log->logWithLevel(7, 23044, "Successful upload. Got network response. Code, size",
                    MSRLogContext(ns::Value(statusCode)), MSRLogContext(ns::Value(contentLength)));
  persistedConfig_->setLastSuccessfulUploadTimestamp(current);
  persistedConfig_->setLastFailedUploadTimestamp(0);
  persistedConfig_->setLastBackoffTimestamp(0);
  persistedConfig_->setLastUploadedEventTimestampMillis(
      std::max(persistedConfig_->lastUploadedEventTimestampMillis(), lastEventEndTimestampMsec_));
  SKANRetryCount_ = 0;
  updateSchedule();
  if (uploadingBundleIDs_ && !removeBundlesFromDatabaseWithIDs(*uploadingBundleIDs_)) {
    log->logWithLevel(1, 23045, "Unable to delete uploaded bundles. Uploads will be suspended for seconds",
                      ns::Value(3600));
    suspendedUploadTimestamp_ = MSRTimeSinceBoot();
  } else {
    suspendedUploadTimestamp_ = 0;
  }
  uploadingBundleIDs_.reset();
  auto config = remoteConfigInstance();
  if (network_ && network_->isNetworkConnected() && hasDataToUpload()) {
    uploadData();
  } else if (config && config->isExpired()) {
    uploadData();
  } else if (isPSMRequestPostponed_) {
    isPSMRequestPostponed_ = false;
    retrievePSMResponse();
  } else {
    updateSchedule();
    scheduleSKANCVFetchAfterDataUpload();
  }
}
