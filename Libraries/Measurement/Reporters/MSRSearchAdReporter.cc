#include "Libraries/Measurement/Reporters/MSRSearchAdReporter.h"

#include <cmath>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/MSRAlarm.h"
#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSREndpoints.h"
#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/Foundation/URLComponents.h"
#include "Platform/Network/URLRequest.h"
#include "Platform/Network/URLSession.h"

namespace {

constexpr const char* kAlarmName = "Search Ad campaign report alarm";
constexpr double kAttemptInterval = 86400;
constexpr int64_t kMaxAttempts = 10;
constexpr double kRequestTimeout = 10;
// What the service answers for both IDs when it sends test data.
constexpr const char* kTestDataID = "1234567890";

double now() { return ns::Clock::now().timeIntervalSince1970(); }

bool isOS14_3OrLater() { return ns::ProcessInfo::processInfo().isOperatingSystemAtLeastVersion({14, 3, 0}); }

ns::URL attributionRequestURL() {
  ns::URLComponents components = ns::URLComponents::withURL(MSREndpoints::attributionURL());
  components.setPath("/api/v1/");
  auto url = components.url();
  return url ? *url : MSREndpoints::attributionURL();
}

// A key's value as a string: a number's description, "" when absent or
// of another kind.
std::string stringOf(const ns::Dictionary& answer, const char* key) {
  const ns::Value* value = answer.find(key);
  return value ? value->stringValue() : "";
}

}  // namespace

std::shared_ptr<MSRSearchAdReporter> MSRSearchAdReporter::initWithWorkerQueue(
    std::shared_ptr<dispatch::Queue> workerQueue, std::shared_ptr<MSRPersistedConfig> persistedConfig) {
  auto log = MSRMeasurement::monitor();
  if (!workerQueue) {
    log->logWithLevel(2, 32000, "Cannot init Search Ad reporter. Queue must be provided");
    return nullptr;
  }
  if (!persistedConfig) {
    log->logWithLevel(2, 32001, "Cannot init Search Ad reporter. Persisted config must be provided");
    return nullptr;
  }
  if (persistedConfig->searchAdRetryCount() > kMaxAttempts - 1) return nullptr;
  if (persistedConfig->searchAdCampaignValue()) {
    log->logWithLevel(7, 32002,
                      "Search Ad campaign attribution was already reported. Do not start Search Ad Reporter.");
    return nullptr;
  }
  return std::shared_ptr<MSRSearchAdReporter>(
      new MSRSearchAdReporter(std::move(workerQueue), std::move(persistedConfig)));
}

MSRSearchAdReporter::MSRSearchAdReporter(std::shared_ptr<dispatch::Queue> workerQueue,
                                         std::shared_ptr<MSRPersistedConfig> persistedConfig)
    : workerQueue_(std::move(workerQueue)),
      persistedConfig_(std::move(persistedConfig)),
      alarm_(MSRAlarm::initWithDispatchQueue(workerQueue_, kAlarmName)) {}

MSRSearchAdReporter::~MSRSearchAdReporter() { cancelScheduling(); }

std::shared_ptr<rt::Class> MSRSearchAdReporter::adClientInstance() {
  if (!isOS14_3OrLater()) return nullptr;
  return rt::classFromString(kMSRAdAttributionClassName);
}

std::shared_ptr<MSRAlarm> MSRSearchAdReporter::searchAdReporterAlarm() const {
  std::lock_guard lock(alarmMutex_);
  return alarm_;
}

void MSRSearchAdReporter::start() {
  auto log = MSRMeasurement::monitor();
  if (!adClientInstance()) {
    log->logWithLevel(7, 32014, "AdServices framework is not linked. Search Ad Attribution Reporter is disabled.");
    return;
  }
  if (MSRAEU::isNOD()) {
    log->logWithLevel(7, 32019, "Search Ad Attribution Reporter is disabled on the simulator");
    return;
  }
  scheduleSearchAdReport();
}

void MSRSearchAdReporter::scheduleSearchAdReport() {
  auto log = MSRMeasurement::monitor();
  auto alarm = searchAdReporterAlarm();
  if (!alarm) {
    log->logWithLevel(5, 32013, "Search Ad Campaign attribution alarm is already canceled");
    return;
  }
  if (!isSearchAdReporterEnabled()) {
    alarm->cancel();
    return;
  }
  if (persistedConfig_->searchAdCampaignValue()) {
    log->logWithLevel(7, 32004, "Search Ad report not scheduled. Search Ad campaign attribution was already reported.");
    cancelScheduling();
    return;
  }
  if (alarm->hasActiveTimer()) {
    log->logWithLevel(5, 32005, "Search Ad Campaign attribution alarm is already scheduled");
    return;
  }
  if (persistedConfig_->searchAdRetryCount() >= kMaxAttempts) {
    log->logWithLevel(5, 32007,
                      "Search Ad Campaign attribution exceeds the max number of retries. Do not schedule again.");
    cancelScheduling();
    return;
  }
  log->logWithLevel(7, 32006, "Scheduling Search Ad Report timer");
  const double delay = kAttemptInterval - std::fabs(now() - persistedConfig_->lastSearchAdLookUpTimestamp());
  std::weak_ptr<MSRSearchAdReporter> weak = weak_from_this();
  alarm->runAfterDelay(delay, [weak] {
    auto reporter = weak.lock();
    if (!reporter) return;
    // Switched off since it was armed: no attempt, and the alarm stays
    // unarmed, as scheduling leaves it for a disabled reporter.
    if (!reporter->isSearchAdReporterEnabled()) {
      reporter->scheduleSearchAdReport();
      return;
    }
    reporter->maybeLogIAdCampaignEvent();
  });
}

void MSRSearchAdReporter::maybeLogIAdCampaignEvent() {
  if (!adClientInstance()) return;
  persistedConfig_->setLastSearchAdLookUpTimestamp(now());
  fetchAttributionDetails();
  scheduleSearchAdReport();
}

void MSRSearchAdReporter::fetchAttributionDetails() {
  persistedConfig_->setSearchAdRetryCount(persistedConfig_->searchAdRetryCount() + 1);
  auto cls = adClientInstance();
  if (!cls) return;
  auto tokenWithError = rt::functionOf<std::optional<std::string>(const rt::Class&, ns::Error*)>(
      rt::methodImplementation(*cls, kMSRAdAttributionTokenSelector, rt::MethodKind::Class));
  if (!tokenWithError) return;
  ns::Error error;
  std::optional<std::string> token = tokenWithError(*cls, &error);
  if (!token) {
    MSRMeasurement::monitor()->logWithLevel(1, 32018, "Cannot send request for Search Ad campaign attribution. Error",
                                            MSRLogContext(error));
    return;
  }
  if (!token->empty()) requestAttributionPayloadWithToken(*token);
}

void MSRSearchAdReporter::requestAttributionPayloadWithToken(const std::string& token) {
  if (token.empty()) return;
  net::URLRequest request(attributionRequestURL(), net::URLRequestCachePolicy::UseProtocolCachePolicy, kRequestTimeout);
  request.setHTTPMethod("POST");
  request.setValue("no-cache", "cache-control");
  request.setValue("text/plain", "Content-Type");
  request.setHTTPBody(ns::Data(token.begin(), token.end()));
  std::weak_ptr<MSRSearchAdReporter> weak = weak_from_this();
  std::weak_ptr<dispatch::Queue> queue = workerQueue_;
  auto task = net::URLSession::shared()->dataTask(
      request, [weak, queue](std::optional<ns::Data> data, std::optional<net::HTTPURLResponse> response,
                             std::optional<ns::Error> error) {
        // The session answers on its own queue, while the alarm and the
        // persisted values belong to the worker queue: the answer is
        // handled there, never here.
        auto worker = queue.lock();
        if (!worker) return;
        worker->async([weak, data = std::move(data), response = std::move(response), error = std::move(error)] {
          if (auto reporter = weak.lock()) reporter->handleAttributionResponse(data, response, error);
        });
      });
  task->resume();
}

void MSRSearchAdReporter::handleAttributionResponse(const std::optional<ns::Data>& data,
                                                    const std::optional<net::HTTPURLResponse>& response,
                                                    const std::optional<ns::Error>& error) {
  auto log = MSRMeasurement::monitor();
  std::optional<ns::Error> failure = error;
  // An error page is no answer about the install: it must not be recorded
  // as "not attributed".
  if (!failure && response && (response->statusCode() < 200 || response->statusCode() > 299)) {
    failure = msr_errorWithCode(2, "Unexpected HTTP status " + std::to_string(response->statusCode()));
  }
  if (failure) {
    log->logWithLevel(1, 32015, "Cannot send request for Search Ad campaign attribution. Error",
                      MSRLogContext(*failure));
    scheduleSearchAdReport();
    return;
  }
  ns::Error parseError;
  std::optional<ns::Value> json = ns::jsonObjectFromData(data.value_or(ns::Data{}), &parseError);
  if (json && !json->isDictionary()) {
    // Valid JSON, but not the object the answer is: as unreadable.
    parseError = ns::Error(ns::kCocoaErrorDomain, ns::kJsonReadCorruptError,
                           {{"NSDebugDescription", "The answer is not a JSON object."}});
    json.reset();
  }
  if (!json) {
    log->logWithLevel(1, 32017, "Search Ad Reporter failed to parse JSON data. Error", MSRLogContext(parseError));
    scheduleSearchAdReport();
    return;
  }
  const ns::Dictionary& answer = *json->asDictionary();
  if (answer.empty()) {
    scheduleSearchAdReport();
    return;
  }
  if (stringOf(answer, "adId") == kTestDataID && stringOf(answer, "campaignId") == kTestDataID) {
    log->logWithLevel(7, 32016, "Search Ad Reporter returned test data. Will retry next time.");
    scheduleSearchAdReport();
    return;
  }
  const ns::Value* attribution = answer.find("attribution");
  logCampaignEventWithSearchAdCampaign(attribution && attribution->boolValue(), stringOf(answer, "campaignId"),
                                       stringOf(answer, "keywordId"));
  cancelScheduling();
}

void MSRSearchAdReporter::logCampaignEventWithSearchAdCampaign(bool isSearchAdCampaign, const std::string& campaign,
                                                               const std::string& term) {
  auto log = MSRMeasurement::monitor();
  {
    std::lock_guard lock(answerMutex_);
    if (persistedConfig_->searchAdCampaignValue()) {
      log->logWithLevel(5, 32008, "Search Ad Campaign is already tracked");
      return;
    }
    persistedConfig_->setSearchAdCampaignValue(ns::Value(isSearchAdCampaign));
  }
  if (!isSearchAdCampaign) return;
  ns::Dictionary parameters{{"source", "Apple"}, {"medium", "search"}};
  if (!campaign.empty()) parameters.set("campaign", campaign);
  if (!term.empty()) parameters.set("term", term);
  const int64_t firstOpen = persistedConfig_->firstOpenTimestampMilliseconds();
  if (firstOpen < 2) {
    log->logWithLevel(5, 32009, "Search Ad Campaign does not have click_timestamp.");
  } else {
    parameters.set("click_timestamp", ns::Value(firstOpen - 1));
  }
  MSRAnalytics::logInternalEventWithOrigin("auto", "_cmp", parameters);
}

void MSRSearchAdReporter::cancelScheduling() {
  std::shared_ptr<MSRAlarm> alarm;
  {
    std::lock_guard lock(alarmMutex_);
    alarm = std::move(alarm_);
    alarm_.reset();
  }
  if (alarm) alarm->cancel();
}
