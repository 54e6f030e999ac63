// Links that open the app: the campaign parameters of a URL's query become
// a campaign event ("_cmp", or "_cmpx"), a launch URL is kept for first
// open, and at the first launch the ad-services endpoint may answer with a
// deferred deep link (one the user clicked before installing), which the
// app delegate is handed as if the app had been opened with it.
#include <cmath>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRClearStoredDeepLink.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNSStringAdditions.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/MSREndpoints.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/UIKit/Application.h"

namespace {

constexpr const char* kDeepLinkKey = "/zorori/measurement/deep_link";
constexpr const char* kDeepLinkTimestampKey = "/zorori/measurement/deep_link_timestamp_seconds";
constexpr const char* kDeepLinkPath = "/adservice/conversion/app/deeplink";

double now() { return ns::Date::now().timeIntervalSince1970(); }

// URL query key to event parameter.
constexpr std::pair<const char*, const char*> kCampaignParameters[] = {
    {"aclid", "aclid"},
    {"anid", "anid"},
    {"utm_campaign", "campaign"},
    {"cis", "_cis"},
    {"utm_content", "content"},
    {"cp1", "cp1"},
    {"dclid", "dclid"},
    {"gclid", "gclid"},
    {"gbraid", "gbraid"},
    {"utm_medium", "medium"},
    {"utm_source", "source"},
    {"srsltid", "srsltid"},
    {"utm_term", "term"},
    {"utm_id", "campaign_id"},
    {"utm_creative_format", "creative_format"},
    {"utm_marketing_tactic", "marketing_tactic"},
    {"utm_source_platform", "source_platform"},
    {"sfmc_id", "sfmc_id"},
};

// Any of these, non-empty, makes a query a campaign.
constexpr const char* kCampaignKeys[] = {"utm_campaign", "gclid",  "utm_medium", "utm_source", "gbraid",
                                         "utm_id",       "dclid", "srsltid",    "sfmc_id"};

constexpr const char* kClickIdentifiers[] = {"gclid", "dclid", "srsltid"};

bool nonEmptyString(const ns::Value* value) { return value && value->isString() && !value->asString()->empty(); }

std::string textOf(const ns::Value& value) {
  if (value.isString()) return *value.asString();
  return value.description();
}

}  // namespace

std::optional<std::string> MSRMeasurement::deepLinkFromUserActivity(const ui::UserActivity* activity) {
  auto log = monitor();
  if (!activity) {
    log->logWithLevel(7, 23003, "User Activity is empty. User Activity");
    return std::nullopt;
  }
  if (activity->activityType == ui::kUserActivityTypeBrowsingWeb && !activity->webpageURL.empty()) {
    return activity->webpageURL;
  }
  log->logWithLevel(3, 23006, "User Activity does not have Deep Link. User Activity",
                    MSRLogContext(activity->activityType));
  return std::nullopt;
}

void MSRMeasurement::handleStoredURLAfterAppLaunchWithNotification(const ns::Notification& notification) {
  const ns::Dictionary& options = notification.userInfo();
  std::optional<std::string> url;
  if (const ns::Value* activities = options.find(ui::kLaunchOptionsUserActivityDictionaryKey)) {
    if (const ns::Dictionary* dictionary = activities->asDictionary()) {
      if (const ns::Value* value = dictionary->find(ui::kLaunchOptionsUserActivityKey)) {
        auto activity = ui::userActivityFromLaunchOptionsValue(*value);
        url = deepLinkFromUserActivity(activity ? &*activity : nullptr);
      }
    }
  }
  if (!url || url->empty()) {
    const ns::Value* launchURL = options.find(ui::kLaunchOptionsURLKey);
    if (nonEmptyString(launchURL)) url = *launchURL->asString();
  }
  if (!url || url->empty()) return;
  auto defaults = MSRUserDefaults::standardUserDefaults();
  defaults->setObject(ns::Value(*url), kDeepLinkKey);
  defaults->setObject(ns::Value(now()), kDeepLinkTimestampKey);
}

void MSRMeasurement::handleNonFirstOpenEventURL(const std::string& url, double eventTimestampInSeconds) {
  if (dispatch::Queue::currentLabel() == scheduler_->workerQueue()->label()) {
    monitor()->logWithLevel(2, 23163, "Do not call handleNonFirstOpenOpenURL on the measurement worker queue");
    return;
  }
  handleOpenURL(url, std::nullopt, eventTimestampInSeconds);
}

void MSRMeasurement::handleOpenURL(const std::string& url, std::optional<int64_t> clickTimestampInMs,
                                   double eventTimestampInSeconds) {
  if (url.empty()) return;
  handleDeepLink(url, clickTimestampInMs, eventTimestampInSeconds);
}

void MSRMeasurement::handleDeepLink(const std::string& url, std::optional<int64_t> clickTimestampInMs,
                                    double eventTimestampInSeconds) {
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:437", [weak, url, clickTimestampInMs,
                                                                   eventTimestampInSeconds] {
    if (auto engine = weak.lock()) {
      engine->handleOpenURLOnWorkerQueue(url, clickTimestampInMs, eventTimestampInSeconds, ns::Dictionary{});
    }
  });
}

bool MSRMeasurement::isValidCampaignURLParamDictionary(const ns::Dictionary& parameters) {
  for (const char* key : kCampaignKeys) {
    if (nonEmptyString(parameters.find(key))) return true;
  }
  return false;
}

bool MSRMeasurement::shouldAllowClickID() {
  if (!ns::ProcessInfo::processInfo().isOperatingSystemAtLeastVersion({14, 0, 0})) return true;
  auto identity = this->identity();
  if (!identity) return false;
  if (auto idfa = identity->resettableDeviceID(); idfa && !idfa->empty()) return true;
  return identity->appleConsentStatus() == 3;
}

void MSRMeasurement::handleOpenURLOnWorkerQueue(const std::string& url, std::optional<int64_t> clickTimestampInMs,
                                                double eventTimestampInSeconds,
                                                const ns::Dictionary& extraParameters) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName(
      "handleOpenURLOnWorkerQueue:clickTimestampInMs:eventTimestampInSeconds:extraParameters:");
  auto log = monitor();
  ns::Dictionary query;
  MSRValueMap numbers;
  for (const auto& [name, value] : extraParameters) {
    if (value.isString()) {
      query[name] = value;
    } else if (value.isNumber()) {
      if (auto converted = MSRValue::valueFromObject(value)) numbers.insert_or_assign(name, *converted);
    }
  }
  if (auto parsed = ns::URL::withString(url); parsed && parsed->query()) {
    for (const auto& [name, value] : msr_dictionaryWithHttpArgumentsString(*parsed->query())) query[name] = value;
  }
  if (query.empty()) {
    log->logWithLevel(7, 23000, "Deep Link Web URL query is empty");
    return;
  }
  if (!isValidCampaignURLParamDictionary(query)) {
    log->logWithLevel(3, 23001, "Deep Link does not contain valid required params. URL params",
                      MSRLogContext(ns::Value(query)));
    return;
  }

  MSRValueMap parameters;
  for (const auto& [key, parameter] : kCampaignParameters) {
    const ns::Value* value = query.find(key);
    if (!value) continue;
    std::string text = textOf(*value);
    if (text.empty()) continue;
    parameters.insert_or_assign(parameter, MSRValue::initWithString(text));
  }
  if (!shouldAllowClickID()) {
    for (const char* key : kClickIdentifiers) parameters.erase(key);
  }
  for (const auto& [name, value] : numbers) parameters.insert_or_assign(name, value);
  if (clickTimestampInMs) parameters.insert_or_assign("click_timestamp", MSRValue::initWithInt64(*clickTimestampInMs));

  const double firstOpen = static_cast<double>(persistedConfig_->firstOpenTimestampMilliseconds()) / 1000.0;
  const double eventTime = std::max(firstOpen, eventTimestampInSeconds);

  if (auto gbraid = parameters.find("gbraid"); gbraid != parameters.end()) {
    if (auto text = gbraid->second.stringValue(); text && !text->empty()) {
      setUserPropertyInDatabaseOnWorkerQueue(
          MSRUserAttribute::initWithOrigin("auto", "_gbraid", MSRValue::initWithString(*text), eventTime));
    }
  }

  auto cc = parameters.find("_cc");
  const bool extended = cc != parameters.end() && cc->second.isInt64() && cc->second.int64Value() == 1;
  auto event = MSREvent::initWithOrigin("auto", false, extended ? "_cmpx" : "_cmp", eventTime, 0, parameters);
  if (!event) return;
  handleInternalEventOnWorkerQueue(event);
  // Listeners hear of the campaign once: event handling does not tell them
  // of the engine's own events.
  MSRAnalytics::notifyEventListeners(event);
}

void MSRMeasurement::reportStoredCampaignOrRequestDeferredDeepLinkOnWorkerQueue() {
  auto stored = MSRUserDefaults::standardUserDefaults()->objectForKey(kDeepLinkKey);
  if (stored) {
    reportStoredCampaignEventOnWorkerQueue(std::nullopt);
  } else if (shouldAllowRequestDeferredDeepLink()) {
    requestDeferredDeepLink();
  }
}

void MSRMeasurement::dropExpiredStoredDeepLink() {
  auto defaults = MSRUserDefaults::standardUserDefaults();
  auto timestamp = defaults->objectForKey(kDeepLinkTimestampKey);
  if (!defaults->objectForKey(kDeepLinkKey) || !timestamp || !timestamp->isNumber()) return;
  auto config = remoteConfig();
  if (std::fabs(now() - timestamp->doubleValue()) > config->attributionCacheTTLInterval()) {
    MSRClearStoredDeepLink(*defaults);
  }
}

bool MSRMeasurement::shouldAllowRequestDeferredDeepLink() {
  auto log = monitor();
  auto config = remoteConfigInstance();
  if (!config || !config->isDeferredDeepLinkEnabled()) {
    log->logWithLevel(5, 23193, "Deferred Deep Link feature disabled");
    return false;
  }
  auto bundle = ns::Bundle::mainBundle();
  const ns::Value* enabled =
      bundle ? bundle->objectForInfoDictionaryKey("ZORORI_ANALYTICS_DEFERRED_DEEP_LINK_ENABLED") : nullptr;
  if (!enabled || !enabled->isNumber() || !enabled->boolValue()) return false;
  if (persistedConfig_->deferredDeepLinkRetrievalComplete()) {
    log->logWithLevel(7, 23194, "Already retrieved Deferred Deep Link. Skipping");
    return false;
  }
  if (persistedConfig_->deferredDeepLinkRetryCount() >= config->maxDeferredDeepLinkRetryCount()) {
    log->logWithLevel(3, 23195, "Failed to retrieve Deferred Deep Link. Reached retry limit");
    persistedConfig_->setDeferredDeepLinkRetrievalComplete(ns::Value(1));
    return false;
  }
  if (MSRConsentSettingsUtil::isAdStorageDenied()) {
    log->logWithLevel(3, 23252, "IDFA unavailable to retrieve Deferred Deep Link due to denied ad storage consent. Skipping");
    return false;
  }
  auto identity = this->identity();
  if (!identity || !identity->hasLimitedAdTracking() || identity->limitedAdTracking()) {
    log->logWithLevel(3, 23196, "IDFA unavailable to retrieve Deferred Deep Link. Skipping");
    return false;
  }
  log->logWithLevel(7, 23197, "Deferred Deep Link feature enabled");
  return true;
}

void MSRMeasurement::requestDeferredDeepLink() {
  auto log = monitor();
  auto identity = this->identity();
  auto bundle = ns::Bundle::mainBundle();
  std::string path = MSREndpoints::adServicesURL().absoluteString();
  while (!path.empty() && path.back() == '/') path.pop_back();
  std::string query = "sdk_version=" + std::to_string(MSRIdentity::dudUziroruvozaLibraryVersion()) +
                      "&rdid=" + (identity ? identity->resettableDeviceID().value_or("") : std::string()) +
                      "&id_type=idfa&bundleid=" + (bundle ? bundle->bundleIdentifier().value_or("") : std::string()) +
                      "&retry=" + std::to_string(persistedConfig_->deferredDeepLinkRetryCount());
  const auto& arguments = ns::ProcessInfo::processInfo().arguments();
  if (std::find(arguments.begin(), arguments.end(), "-DebugDeferredDeepLink") != arguments.end() &&
      !MSRAEU::isFAS()) {
    query += "&ddl_test=1";
  }
  auto url = ns::URL::withString(path + kDeepLinkPath + "?" + query);
  if (!url || !url->host() || !network_) {
    log->logWithLevel(3, 23198, "URL to retrieve Deferred Deep Link is invalid");
    return;
  }
  isNetworkRequestPending_ = true;
  if (auto config = remoteConfigInstance()) network_->setTimeoutInterval(config->networkTimeout());
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  network_->getURL(*url, net::HTTPHeaderFields{}, scheduler_->workerQueue(), shouldUseBackgroundSession(),
                   [weak](std::optional<net::HTTPURLResponse> response, std::optional<ns::Data> data,
                          std::optional<ns::Error> error) {
                     auto engine = weak.lock();
                     if (!engine) return;
                     engine->isNetworkRequestPending_ = false;
                     const int status = response ? response->statusCode() : 0;
                     auto log = monitor();
                     if ((status == 200 || status == 204 || status == 304) && !error) {
                       engine->persistedConfig_->setDeferredDeepLinkRetrievalComplete(ns::Value(0));
                       auto info = deepLinkInfoFromResponseData(data.value_or(ns::Data{}));
                       if (info && !info->empty()) {
                         log->logWithLevel(7, 23200, "Successfully retrieved Deferred Deep Link");
                         engine->handleDeferredDeepLinkInfo(*info);
                       } else {
                         engine->updateSchedule();
                       }
                       return;
                     }
                     log->logWithLevel(1, 23199, "Failed to retrieve Deferred Deep Link. Will retry on next launch. Code, error",
                                       MSRLogContext(ns::Value(status)),
                                       error ? MSRLogContext(*error) : MSRLogContext(ns::Value("(nil)")));
                     engine->persistedConfig_->setDeferredDeepLinkRetryCount(
                         engine->persistedConfig_->deferredDeepLinkRetryCount() + 1);
                     engine->updateSchedule();
                   });
}

std::optional<ns::Dictionary> MSRMeasurement::deepLinkInfoFromResponseData(const ns::Data& data) {
  auto log = monitor();
  if (data.empty()) {
    log->logWithLevel(8, 23201, "Deferred Deep Link response is empty");
    return std::nullopt;
  }
  ns::Error error;
  auto parsed = ns::jsonObjectFromData(data, &error);
  // JSON that is no object ([], "x", null) is as unreadable as no JSON.
  if (!parsed || !parsed->asDictionary()) {
    if (parsed) error = ns::Error("NSCocoaErrorDomain", 3840, {{"NSDebugDescription", ns::Value("not an object")}});
    log->logWithLevel(1, 23202, "Failed to parse Deferred Deep Link from JSON. Error", MSRLogContext(error));
    return std::nullopt;
  }
  const ns::Dictionary& info = *parsed->asDictionary();
  const ns::Value* link = info.find("deeplink");
  if (info.empty() || !nonEmptyString(link) || !ns::URL::withString(*link->asString())) return std::nullopt;
  return info;
}

void MSRMeasurement::handleDeferredDeepLinkInfo(const ns::Dictionary& info) {
  const ns::Value* link = info.find("deeplink");
  if (!nonEmptyString(link) || !ns::URL::withString(*link->asString())) return;
  std::string url = *link->asString();
  ns::Dictionary extra{{"cis", ns::Value("ddp")}};
  for (const char* key : {"gclid", "gbraid"}) {
    if (const ns::Value* value = info.find(key)) extra[key] = *value;
  }
  ns::Dictionary options;
  if (const ns::Value* timestamp = info.find("timestamp")) options["timestamp"] = *timestamp;
  monitor()->logWithLevel(8, 23203, "Sending Deferred Deep Link to app delegate");
  const double taken = now();
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  dispatch::Queue::main()->async([weak, url, extra, options, taken] {
    if (!sendDeepLinkURLToAppDelegateOnMainThread(url, options)) return;
    auto engine = weak.lock();
    if (!engine) return;
    engine->scheduler()->scheduleOnWorkerQueueBlockID("MSRMeasurement:359", [weak, url, extra, taken] {
      if (auto engine = weak.lock()) engine->handleOpenURLOnWorkerQueue(url, std::nullopt, taken, extra);
    });
  });
}

bool MSRMeasurement::sendDeepLinkURLToAppDelegateOnMainThread(const std::string& url, const ns::Dictionary& extraInfo) {
  ui::Application* application = MSRAEU::sharedApplication();
  auto delegate = application ? application->delegate() : nullptr;
  if (!delegate || !delegate->respondsToSelector(ui::kOpenURLOptionsSelector)) {
    monitor()->logWithLevel(3, 23204, "App delegate not configured to handle Deferred Deep Link", url);
    return false;
  }
  delegate->openURL(*application, url, extraInfo);
  return true;
}
