// The measurement configuration: fetched with a conditional GET, checked,
// stored and its audiences handed to the evaluator, all in one
// transaction.
#include <cmath>

#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRTimeSinceBoot.h"
#include "Libraries/Measurement/Reporters/MSRAudience.h"
#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

constexpr int32_t kConfigAppID = 1, kConfigAudiences = 5;

}  // namespace

void MSRMeasurement::fetchRemoteConfig() {
  auto config = remoteConfigInstance();
  auto identity = this->identity();
  if (!config || !network_) return;
  auto log = monitor();
  auto url = config->remoteConfigURLWithAppInstanceID(identity ? identity->appInstanceID() : std::nullopt, "ios",
                                                      MSRIdentity::dudUziroruvozaLibraryVersion(),
                                                      MSRPRuntime::runtimeVersion());
  if (!url) {
    log->logWithLevel(2, 23125, "Invalid server URL to get configuration");
    return;
  }
  log->logWithLevel(8, 23126, "Fetching configuration from the server");
  net::HTTPHeaderFields headers;
  if (auto modified = persistedConfig_->configServerLastModifiedString(); modified && modified->isString()) {
    if (!modified->stringValue().empty()) headers.set("If-Modified-Since", modified->stringValue());
  }
  if (auto etag = persistedConfig_->configServerETag(); etag && !etag->empty()) headers.set("If-None-Match", *etag);
  isNetworkRequestPending_ = true;
  network_->setTimeoutInterval(config->networkTimeout());
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  network_->getURL(*url, headers, scheduler_->workerQueue(), shouldUseBackgroundSession(),
                   [weak](std::optional<net::HTTPURLResponse> response, std::optional<ns::Data> data,
                          std::optional<ns::Error> error) {
                     auto engine = weak.lock();
                     if (!engine) return;
                     engine->isNetworkRequestPending_ = false;
                     engine->networkRemoteConfigFetchCompletionHandler(response, data, error);
                   });
}

void MSRMeasurement::networkRemoteConfigFetchCompletionHandler(const std::optional<net::HTTPURLResponse>& response,
                                                               const std::optional<ns::Data>& data,
                                                               const std::optional<ns::Error>& error) {
  auto log = monitor();
  const int status = response ? response->statusCode() : 0;
  const double current = ns::Clock::now().timeIntervalSince1970();
  log->logWithLevel(8, 23127, "Fetched configuration. Status code", ns::Value(status));
  // The network client hands over what arrived together with a transport
  // error: a body cut off in transit may still decode (a message can end
  // at any field), so such an answer is a failed fetch, whatever its
  // status.
  const bool answered = !error && (status == 200 || status == 204 || status == 304 || status == 404);
  if (!answered) {
    auto errorContext = error ? MSRLogContext(*error) : MSRLogContext(ns::Value("(nil)"));
    log->logWithLevel(3, 23128, "Network request failed to fetch remote config. Code, Error",
                      MSRLogContext(ns::Value(status)), errorContext);
    persistedConfig_->setLastFailedUploadTimestamp(current);
    if (status == 503 || status == 429) persistedConfig_->setLastBackoffTimestamp(current);
    log->logWithLevel(3, 23129, "Network fetch failed. Will retry later. Code, error", MSRLogContext(ns::Value(status)),
                      errorContext);
    updateSchedule();
    // The retry waits for the upload timer, which a suspended app does
    // not run: a background task kept for it would only hold off the
    // suspension until the system expires the task.
    terminateBackgroundTask();
    return;
  }
  persistedConfig_->setConfigServerLastModifiedString(response->valueForHTTPHeaderField("Last-Modified"));
  persistedConfig_->setConfigServerETag(response->valueForHTTPHeaderField("ETag"));
  persistedConfig_->setLastFailedUploadTimestamp(0);
  persistedConfig_->setLastBackoffTimestamp(0);
  auto database = this->database();
  auto config = remoteConfigInstance();
  auto storeFetchTime = [&](int64_t code, const char* text) {
    ns::Error storeError;
    if (database && database->updateRemoteConfigSuccessfulTimestamp(current, &storeError)) {
      suspendedUploadTimestamp_ = 0;
    } else {
      log->logWithLevel(1, code, text, MSRLogContext(storeError));
      suspendedUploadTimestamp_ = MSRTimeSinceBoot();
    }
  };
  if (status == 304 || status == 404) {
    if (status == 304) {
      log->logWithLevel(8, 23131, "Configuration has not been modified. Using the same configuration. Code",
                        ns::Value(status));
    } else {
      log->logWithLevel(3, 23130, "Configuration not found. Using default configuration");
    }
    storeFetchTime(23132, "Failed to update config last set timestamp. Error");
  } else {
    log->logWithLevel(8, 23133, "Successfully fetched configuration from the server. Code, size",
                      MSRLogContext(ns::Value(status)), MSRLogContext(ns::Value(response->expectedContentLength())));
    storeFetchTime(23134, "Failed to set last set timestamp in database. Error");
    if (data && !data->empty() && database && config) {
      database->performTransaction([&] {
        auto fetched = MSRPBMeasurementConfig::initWithBuffer(*data);
        if (!fetched || !fetched->protoBuffer()) {
          log->logWithLevel(2, 23135, "Configuration data is invalid.");
          return false;
        }
        auto identity = this->identity();
        if (MSRPBMessageGetString(fetched.get(), kConfigAppID) != (identity ? identity->appIDFromZMP() : std::nullopt)) {
          log->logWithLevel(2, 23136, "Configuration does not have valid Zorori App ID.");
          return false;
        }
        std::vector<std::shared_ptr<MSRPBAudience>> audiences;
        for (const auto& element :
             MSRPBMessageGetArray<MSRPBAudience>(fetched.get(), kConfigAudiences).value_or(MSRPBArray{})) {
          if (auto audience = MSRPBArrayElementMessage<MSRPBAudience>(element)) audiences.push_back(audience);
        }
        MSRPBMessageClearField(fetched.get(), kConfigAudiences);
        if (!config->updateMeasurementConfig(fetched)) {
          log->logWithLevel(2, 23138, "Failed to update configuration with new server configuration",
                            MSRLogContext(ns::Value(*data)));
          return false;
        }
        auto evaluator = audience();
        if (!evaluator || !evaluator->updateAudiences(audiences)) {
          log->logWithLevel(2, 23137, "Failed to update audiences with new server configuration");
          return false;
        }
        return true;
      });
    }
  }
  uploadDataOrRegisterAlarm();
}
