// On-device conversion lookups: user data handed in by the app (an e-mail
// address or a phone number) may start a lookup through the separately
// linked client class (MSRPSMClient.h), which asks the measurement service
// whether the user matches a data set without sending the data in the
// clear. A match is kept as "_psmvalue" and reported with a realtime "_fx".
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRPSMClient.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/ProcessInfo.h"

namespace {

constexpr double kPSMValueLifetime = 7776000;  // 90 days

double now() { return ns::Date::now().timeIntervalSince1970(); }

std::shared_ptr<MSRPSMClientClass> PSMClientClass() {
  return rt::classAs<MSRPSMClientClass>(rt::classFromString(kMSRPrivateSetMembershipClientClassName));
}

const char* countPropertyOf(const MSRPSMClient& client) {
  return client.inputType() == MSRPSMClient::kInputTypePhoneNumber ? "_psmcountph" : "_psmcount";
}

}  // namespace

void MSRMeasurement::setUserData(const ns::Dictionary& userData) {
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:3104", [weak, userData] {
    if (auto engine = weak.lock()) engine->setUserDataOnWorkerQueue(userData);
  });
}

void MSRMeasurement::setUserDataOnWorkerQueue(const ns::Dictionary& userData) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("setUserDataOnWorkerQueue:");
  auto identity = this->identity();
  const std::string appID = identity && identity->appID() ? *identity->appID() : appID_;
  std::shared_ptr<MSRPSMClient> client;
  const ns::Value* email = userData.find("email_address");
  if (email && email->isString() && shouldRetrievePSMResponseWithEmailAddress(*email->asString())) {
    if (auto cls = PSMClientClass()) client = cls->initWithEmailAddress(*email->asString(), appID);
  } else if (const ns::Value* phone = userData.find("phone_number");
             phone && phone->isString() && shouldRetrievePSMResponseWithPhoneNumber(*phone->asString())) {
    if (auto cls = PSMClientClass()) client = cls->initWithPhoneNumber(*phone->asString(), appID);
  }
  if (!client) return;
  privateSetMembershipClient_ = client;
  ++PSMStartCount_;
  PSMRetryCount_ = 0;
  retrievePSMResponse();
  monitor()->logWithLevel(7, 23225, "Initiated on-device conversion measurement");
}

bool MSRMeasurement::shouldRetrievePSMResponseWithEmailAddress(const std::string& emailAddress) {
  if (emailAddress.empty()) {
    monitor()->logWithLevel(1, 23234, "Failed to initiate on-device conversion measurement. Email address was empty.");
    return false;
  }
  return shouldRetrievePSMResponse();
}

bool MSRMeasurement::shouldRetrievePSMResponseWithPhoneNumber(const std::string& phoneNumber) {
  if (phoneNumber.empty()) {
    monitor()->logWithLevel(1, 23239, "Failed to initiate on-device conversion measurement. Phone number was empty.");
    return false;
  }
  return shouldRetrievePSMResponse();
}

bool MSRMeasurement::shouldRetrievePSMResponse() {
  auto log = monitor();
  if (!PSMClientClass()) {
    log->logWithLevel(1, 23233,
                      "Failed to initiate on-device conversion measurement. RavezeRedAdadezudoviZaRozeziDoruzedeza "
                      "dependency not linked in.");
    return false;
  }
  auto config = remoteConfigInstance();
  auto database = this->database();
  if (!config || !database || !config->PSMFeatureEnabled()) return false;
  if (isPSMRequestInProgress_) {
    log->logWithLevel(1, 23235,
                      "Failed to initiate on-device conversion measurement. Request to query data set for on-device "
                      "conversion measurement already in progress.");
    return false;
  }
  if (PSMStartCount_ >= config->maxPSMStartCount()) {
    log->logWithLevel(1, 23236, "Failed to initiate on-device conversion measurement. Exceeded limit per app run.");
    return false;
  }
  ns::Error error;
  if (database->containsUserAttributeWithName("_psmvalue", &error).value_or(false)) {
    log->logWithLevel(1, 23237, "Failed to initiate on-device conversion measurement. Found existing match.");
    return false;
  }
  if (PSMRetryCount_ >= config->maxPSMRetryCount()) {
    log->logWithLevel(1, 23238, "Failed to initiate on-device conversion measurement. Exceeded retry limit.");
    return false;
  }
  return true;
}

void MSRMeasurement::retrievePSMResponse() {
  auto log = monitor();
  auto client = privateSetMembershipClient_;
  auto config = remoteConfigInstance();
  auto database = this->database();
  if (!client || !config || !database) return;
  auto requestURL = client->PSMRequestURLWithRetryCount(PSMRetryCount_);
  if (!requestURL || !ns::URL::withString(*requestURL)) {
    log->logWithLevel(1, 23227, "URL to query data set for on-device conversion measurement is invalid");
    return;
  }
  std::string url = *requestURL;
  const bool phone = client->inputType() == MSRPSMClient::kInputTypePhoneNumber;
  ns::Error error;
  int64_t count = 0;
  if (auto property = database->userAttributeWithName(countPropertyOf(*client), &error)) {
    count = property->value().int64Value();
  }
  char piece[96];
  std::snprintf(piece, sizeof piece, "&%s=%" PRId64, phone ? "psm_phone_count" : "psm_count", count);
  url += piece;
  if (int64_t firstOpenMs = persistedConfig_->firstOpenTimestampMilliseconds(); firstOpenMs > 0) {
    int64_t minutes = firstOpenMs / 1000 / 60;
    std::snprintf(piece, sizeof piece, "&timestamp_first_open=%.0f", static_cast<double>(minutes * 60 + 60));
    url += piece;
  }
  if (!MSRAEU::isFAS() && (log->isDebugModeEnabled() || log->isVerboseLoggingEnabled())) {
    const auto& arguments = ns::ProcessInfo::processInfo().arguments();
    auto key = client->debugKey();
    if (key && std::find(arguments.begin(), arguments.end(), "-DebugOnDeviceConversionMeasurement") != arguments.end()) {
      url += "&debug_psm_key=" + *key;
    }
  }
  auto parsed = ns::URL::withString(url);
  if (!parsed || !network_) {
    log->logWithLevel(1, 23227, "URL to query data set for on-device conversion measurement is invalid");
    return;
  }
  if (!isNetworkReadyForRequest()) {
    log->logWithLevel(7, 23232,
                      "Network operation is pending. Request to query data set for on-device conversion measurement "
                      "postponed.");
    isPSMRequestPostponed_ = true;
    return;
  }
  if (PSMRetryAlarm_) PSMRetryAlarm_->cancel();
  isPSMRequestInProgress_ = true;
  isPSMRequestPostponed_ = false;
  isNetworkRequestPending_ = true;
  network_->setTimeoutInterval(config->networkTimeout());
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  const std::string countName = countPropertyOf(*client);
  network_->getURL(
      *parsed, net::HTTPHeaderFields{}, scheduler_->workerQueue(), shouldUseBackgroundSession(),
      [weak, client, countName](std::optional<net::HTTPURLResponse> response, std::optional<ns::Data> data,
                                std::optional<ns::Error> error) {
        auto engine = weak.lock();
        if (!engine) return;
        engine->isNetworkRequestPending_ = false;
        engine->incrementPSMCountOnWorkerQueueWithName(countName);
        auto log = monitor();
        const int status = response ? response->statusCode() : 0;
        if ((status == 200 || status == 204 || status == 304) && !error) {
          std::string value = client->parsedPSMValueFromResponse(data.value_or(ns::Data{}));
          if (!value.empty()) {
            log->logWithLevel(7, 23229, "On-device conversion measurement found a match");
            engine->handlePSMValueOnWorkerQueue(value);
          } else {
            log->logWithLevel(7, 23230,
                              "On-device conversion measurement did not find a match. Will try again given new user "
                              "data.");
          }
          engine->isPSMRequestInProgress_ = false;
          engine->privateSetMembershipClient_.reset();
          engine->updateSchedule();
          return;
        }
        log->logWithLevel(1, 23228,
                          "Failed to query data set for on-device conversion measurement. Will retry later. Code, error",
                          MSRLogContext(ns::Value(status)),
                          error ? MSRLogContext(*error) : MSRLogContext(ns::Value("(nil)")));
        engine->isPSMRequestInProgress_ = false;
        engine->maybeSchedulePSMRetry();
        engine->updateSchedule();
      });
}

void MSRMeasurement::maybeSchedulePSMRetry() {
  auto config = remoteConfigInstance();
  if (!config) return;
  const int64_t before = PSMRetryCount_++;
  if (PSMRetryCount_ >= config->maxPSMRetryCount()) {
    monitor()->logWithLevel(4, 23231, "On-device conversion measurement failed to find a match. Reached retry limit.");
    return;
  }
  if (!PSMRetryAlarm_) {
    PSMRetryAlarm_ = MSRAlarm::initWithDispatchQueue(scheduler_->workerQueue(), "On-device conversion measurement timer");
  }
  const double delay = config->PSMRetryInterval() * std::ldexp(1.0, static_cast<int>(std::min<int64_t>(before, 60)));
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  PSMRetryAlarm_->runAfterDelay(delay, [weak] {
    if (auto engine = weak.lock()) engine->retrievePSMResponse();
  });
}

void MSRMeasurement::handlePSMValueOnWorkerQueue(const std::string& value) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("handlePSMValueOnWorkerQueue");
  if (value.empty()) return;
  const double timestamp = now();
  setUserAttributeOnWorkerQueue(
      MSRUserAttribute::initWithOrigin("auto", "_psmvalue", MSRValue::initWithString(value), timestamp));
  auto event = MSREvent::initWithOrigin("auto", false, "_fx", timestamp, 0,
                                        MSRValueMap{{"_fxs", MSRValue::initWithString("psm")}});
  if (!event) return;
  event->setRealtime(true);
  writeEventOnWorkerQueue(event);
}

void MSRMeasurement::incrementPSMCountOnWorkerQueueWithName(const std::string& name) {
  auto database = this->database();
  if (!database) return;
  ns::Error error;
  int64_t count = 0;
  if (auto property = database->userAttributeWithName(name, &error)) count = property->value().int64Value();
  setUserAttributeOnWorkerQueue(MSRUserAttribute::initWithOrigin("auto", name, MSRValue::initWithInt64(count + 1), now()));
}

void MSRMeasurement::checkPSMDependencyOnWorkerQueue() {
  auto log = monitor();
  if (PSMClientClass()) {
    log->logWithLevel(7, 23253,
                      "RavezeRedAdadezudoviZaRozeziDoruzedeza dependency is linked. On-device conversion measurement is "
                      "ready to initiate.");
    return;
  }
  auto database = this->database();
  if (!database) return;
  ns::Error error;
  if (database->containsUserAttributeWithName("_psmcount", &error).value_or(false) ||
      database->containsUserAttributeWithName("_psmcountph", &error).value_or(false)) {
    log->logWithLevel(4, 23254,
                      "RavezeRedAdadezudoviZaRozeziDoruzedeza dependency is not currently linked. On-device conversion "
                      "measurement will fail to initiate.");
  }
}

void MSRMeasurement::maybeDeleteExpiredPSMValueOnWorkerQueue() {
  auto database = this->database();
  if (!database) return;
  ns::Error error;
  auto value = database->userAttributeWithName("_psmvalue", &error);
  if (!value || now() - value->lastSetTimestamp() < kPSMValueLifetime) return;
  for (const char* name : {"_psmvalue", "_psmcount", "_psmcountph"}) database->deleteUserAttributeWithName(name, &error);
}
