// The app's own lifecycle as the engine reports it at each start of
// collection: first open ("_f" with "_fot" and "_fi"), the session start
// ("_s"), app and system updates ("_au", "_ou") and the campaign of a link
// kept from before the engine could handle it. Worker queue throughout.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRClearStoredDeepLink.h"
#include "Libraries/Measurement/Core/MSREnvironmentInfo.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNumericUtil.h"
#include "Libraries/Measurement/Reporters/MSRScreenViewReporter.h"
#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/StoreKit/AdNetwork.h"
#include "Platform/UIKit/Scene.h"

namespace {

constexpr const char* kDeepLinkKey = "/zorori/measurement/deep_link";
constexpr const char* kDeepLinkTimestampKey = "/zorori/measurement/deep_link_timestamp_seconds";

double now() { return ns::Date::now().timeIntervalSince1970(); }

// Seconds to whole milliseconds, saturating at the int64 range (NaN as 0):
// a stored time is whatever the defaults file holds.
int64_t millisecondsOf(double seconds) {
  double ms = std::trunc(seconds * 1000.0);
  if (std::isnan(ms)) return 0;
  if (ms >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (ms <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(ms);
}

// The keychain's count as a number; anything unreadable counts as none.
int64_t countOf(const std::optional<std::string>& text) {
  if (!text || text->empty()) return 0;
  errno = 0;
  char* end = nullptr;
  long long parsed = std::strtoll(text->c_str(), &end, 10);
  if (end == text->c_str() || errno == ERANGE) return 0;
  return parsed;
}

MSRValueMap screenParameters() {
  MSRValueMap values;
  for (const auto& [name, object] : MSRScreenViewReporter::sharedInstance()->screenParameters()) {
    if (auto value = MSRValue::valueFromObject(object)) values.insert_or_assign(name, *value);
  }
  return values;
}

std::map<std::string, MSRValueCandidate> screenCandidates() {
  std::map<std::string, MSRValueCandidate> candidates;
  for (const auto& [name, value] : screenParameters()) candidates.emplace(name, MSRValueCandidate(value));
  return candidates;
}

ns::Dictionary screenDictionary() { return MSRScreenViewReporter::sharedInstance()->screenParameters(); }

bool environmentFlag(const std::string& name) {
  const auto& environment = ns::ProcessInfo::processInfo().environment();
  auto found = environment.find(name);
  return found != environment.end() && ns::Value(found->second).boolValue();
}

}  // namespace

int64_t MSRMeasurement::timestampMillisRoundedUpToNextHour(int64_t milliseconds) {
  constexpr int64_t kHour = 3600000;
  int64_t hours = milliseconds / kHour;
  if (hours >= std::numeric_limits<int64_t>::max() / kHour - 1) return std::numeric_limits<int64_t>::max();
  return hours * kHour + kHour;
}

bool MSRMeasurement::isRunningOriginallyInstalledVersion() {
  std::string original = ns::Device::current().facts().originalAppVersion;
  if (original.empty()) return true;
  auto bundle = ns::Bundle::mainBundle();
  const ns::Value* running = bundle ? bundle->objectForInfoDictionaryKey("CFBundleShortVersionString") : nullptr;
  return running && running->isString() && *running->asString() == original;
}

void MSRMeasurement::reportFirstOpenOnWorkerQueue() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("reportFirstOpenOnWorkerQueue");
  auto log = monitor();
  auto database = this->database();
  if (!database) return;
  ns::Error error;
  auto hasFirstOpen = database->containsUserAttributeWithName("_fot", &error);
  if (!hasFirstOpen) {
    log->logWithLevel(1, 23019, "Failed to query first open property. Error", MSRLogContext(error));
    return;
  }
  const int64_t previousCount = countOf(previousFirstOpenCount());
  const double initTimestamp = initTimestamp_.load();

  if (*hasFirstOpen) {
    if (previousCount < 1) setPreviousFirstOpenCount(std::string("1"));
    MSRAnalytics::setDeferredAnalyticsCollection(std::nullopt);
    auto bundle = ns::Bundle::mainBundle();
    const bool hasScenes = bundle && bundle->objectForInfoDictionaryKey("UIApplicationSceneManifest");
    if (ns::ProcessInfo::processInfo().isOperatingSystemAtLeastVersion({15, 0, 0}) && hasScenes &&
        environmentFlag("ActivePrewarm")) {
      reportSessionStartWhenSceneWillConnectOnWorkerQueue();
    } else {
      reportSessionStartOnWorkerQueueWithTimestamp(initTimestamp, false);
    }
    persistedConfig_->setLoadTimestampValue(std::nullopt);
    return;
  }

  const int64_t firstOpenAfterInstall = previousCount >= 1 ? 1 : (isRunningOriginallyInstalledVersion() ? 1 : 0);
  const int64_t storedFirstOpenMs = persistedConfig_->firstOpenTimestampMilliseconds();
  const double fiSetTime = storedFirstOpenMs != 0 ? static_cast<double>(storedFirstOpenMs) / 1000.0 : initTimestamp;
  setUserAttributeOnWorkerQueue(
      MSRUserAttribute::initWithOrigin("auto", "_fi", MSRValue::initWithInt64(firstOpenAfterInstall), fiSetTime));
  auto hasFI = database->containsUserAttributeWithName("_fi", &error);
  if (!hasFI) {
    log->logWithLevel(1, 23161, "Failed to query first open after install property after setting it. Error",
                      MSRLogContext(error));
    return;
  }
  if (!*hasFI) {
    log->logWithLevel(1, 23162, "Failed to set first open after install property");
    return;
  }

  const int64_t firstOpenMs = millisecondsOf(initTimestamp);
  setUserAttributeOnWorkerQueue(MSRUserAttribute::initWithOrigin(
      "auto", "_fot", MSRValue::initWithInt64(timestampMillisRoundedUpToNextHour(firstOpenMs)), initTimestamp));
  auto hasFOT = database->containsUserAttributeWithName("_fot", &error);
  if (!hasFOT) {
    log->logWithLevel(1, 23020, "Failed to query first open property after setting it. Error", MSRLogContext(error));
    return;
  }
  if (!*hasFOT) {
    log->logWithLevel(1, 23021, "Failed to set first open property");
    return;
  }

  auto config = remoteConfigInstance();
  const bool efficient = config && config->efficientEngagementReportingEnabled();
  MSRValueMap parameters;
  if (previousZMPAppID_ && !previousZMPAppID_->empty()) {
    parameters.emplace("_pzmp", MSRValue::initWithString(*previousZMPAppID_));
  }
  parameters.emplace("_pfo", MSRValue::initWithInt64(std::max<int64_t>(previousCount, 0)));
  parameters.emplace("_uwa", MSRValue::initWithInt64(1 - firstOpenAfterInstall));
  if (auto deferred = MSRAnalytics::deferredAnalyticsCollection(); deferred && deferred->boolValue()) {
    parameters.emplace("_dac", MSRValue::initWithInt64(1));
  }
  if (efficient) parameters.emplace("_et", MSRValue::initWithInt64(1));
  if (auto event = MSREvent::initWithOrigin("auto", false, "_f", initTimestamp, 0, parameters)) {
    event->addScreenParameters(screenCandidates());
    handleInternalEventOnWorkerQueue(event);
  }

  MSRAnalytics::setDeferredAnalyticsCollection(std::nullopt);
  persistedConfig_->setLoadTimestampValue(std::nullopt);
  reportSessionStartOnWorkerQueueWithTimestamp(initTimestamp, false);

  if (!(config && config->redundantEngagementRemovalEnabled())) {
    ns::Dictionary engagement{{"_et", ns::Value(1)}};
    if (efficient) engagement["_fr"] = ns::Value(1);
    for (const auto& [name, value] : screenDictionary()) engagement[name] = value;
    MSRAnalytics::logInternalEventWithOrigin("auto", "_e", initTimestamp, engagement);
  }

  persistedConfig_->setFirstOpenTimestampMilliseconds(firstOpenMs);
  reportStoredCampaignEventOnWorkerQueue(firstOpenMs - 1);

  if (shouldAllowAdNetworkRegistration()) {
    sk::AdNetwork::registerAppForAdNetworkAttribution();
  } else {
    log->logWithLevel(7, 23217, "Opted out of registration for ad network attribution");
  }
}

void MSRMeasurement::reportSessionStart() {
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:1142", [weak] {
    if (auto engine = weak.lock()) engine->reportSessionStartOnWorkerQueueWithTimestamp(engine->initTimestamp(), false);
  });
}

void MSRMeasurement::reportSessionStartWhenSceneWillConnectOnWorkerQueue() {
  if (!ns::ProcessInfo::processInfo().isOperatingSystemAtLeastVersion({13, 0, 0})) return;
  if (sceneWillConnectObserver_) return;
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  // The first scene is what tells a prewarmed launch from a real one: the
  // session starts then, once, and the observer goes.
  sceneWillConnectObserver_ = ns::NotificationCenter::defaultCenter().addObserver(
      ui::kSceneWillConnectNotification, nullptr, nullptr, [weak](const ns::Notification&) {
        auto engine = weak.lock();
        if (!engine) return;
        engine->scheduler()->scheduleOnWorkerQueueBlockID("MSRMeasurement:scene", [weak] {
          auto engine = weak.lock();
          if (!engine || !engine->sceneWillConnectObserver_) return;
          ns::NotificationCenter::defaultCenter().removeObserver(engine->sceneWillConnectObserver_);
          engine->sceneWillConnectObserver_.reset();
          engine->reportSessionStart();
        });
      });
}

void MSRMeasurement::reportSessionStartOnWorkerQueueWithTimestamp(double timestamp, bool appInBackground) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("reportSessionStartOnWorkerQueue");
  auto reporter = sessionReporter();
  if (!reporter || !reporter->isSessionExpired()) return;
  reporter->updatePropertiesForNewSessionStart();
  const int64_t sessionID = static_cast<int64_t>(timestamp);
  const int64_t sessionNumber = persistedConfig_->sessionNumber();
  setUserAttributeOnWorkerQueue(reporter->sessionIDPropertyWithTimestamp(timestamp));
  setUserAttributeOnWorkerQueue(reporter->sessionNumberProperty());
  if (appInBackground) {
    auto config = remoteConfigInstance();
    appInBackground = config ? config->appInBackgroundParameterEnabled() : true;
  }
  MSRValueMap parameters{{"_sid", MSRValue::initWithInt64(sessionID)},
                         {"_sno", MSRValue::initWithInt64(sessionNumber)}};
  if (appInBackground) parameters.emplace("_aib", MSRValue::initWithInt64(1));
  auto event = MSREvent::initWithOrigin("auto", false, "_s", timestamp, 0, parameters);
  if (!event) return;
  if (!appInBackground) event->addScreenParameters(screenCandidates());
  handleInternalEventOnWorkerQueue(event);
}

void MSRMeasurement::reportAppUpdateOnWorkerQueue() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("reportAppUpdateOnWorkerQueue");
  auto identity = this->identity();
  if (!identity) return;
  std::optional<std::string> current = identity->appVersion();
  std::optional<std::string> previous = persistedConfig_->appVersion();
  if (current == previous) return;
  persistedConfig_->setAppVersion(current);
  if (previous && !previous->empty()) {
    MSRAnalytics::logInternalEventWithOrigin("auto", "_au", ns::Dictionary{{"_pv", ns::Value(*previous)}});
  }
}

void MSRMeasurement::reportOSUpdateOnWorkerQueue() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("reportOSUpdateOnWorkerQueue");
  std::string current = MSREnvironmentInfo::sharedInstance()->deviceOSVersion();
  std::optional<std::string> previous = persistedConfig_->osVersion();
  if (previous && *previous == current) return;
  persistedConfig_->setOSVersion(current);
  if (previous && !previous->empty()) {
    MSRAnalytics::logInternalEventWithOrigin("auto", "_ou", ns::Dictionary{{"_po", ns::Value(*previous)}});
  }
}

void MSRMeasurement::reportStoredCampaignEventOnWorkerQueue(std::optional<int64_t> clickTimestampInMillis) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("reportStoredCampaignEventWithClickTimestampInMillisOnWorkerQueue:");
  auto defaults = MSRUserDefaults::standardUserDefaults();
  auto stored = defaults->objectForKey(kDeepLinkKey);
  if (!stored || !stored->isString() || stored->asString()->empty()) return;
  std::string link = *stored->asString();
  // A timestamp that is no number is as good as none: the link is then
  // taken as fresh and its click hour unknown.
  std::optional<double> timestamp;
  if (auto storedTime = defaults->objectForKey(kDeepLinkTimestampKey); storedTime && storedTime->isNumber()) {
    timestamp = storedTime->doubleValue();
  }
  auto config = remoteConfigInstance();
  const double ttl = config ? config->attributionCacheTTLInterval() : 604800;
  ns::Dictionary extra;
  if (timestamp && std::fabs(now() - *timestamp) > ttl) {
    link = "(not set)";
    extra["utm_source"] = ns::Value("(not set)");
    extra["utm_medium"] = ns::Value("(not set)");
    extra["_cc"] = ns::Value(1);
  } else if (timestamp) {
    constexpr int64_t kHour = 3600000;
    int64_t ms = millisecondsOf(*timestamp);
    int64_t hour = ms / kHour;
    // The click hour less one hour, kept inside the int64 range.
    extra["_cc"] = ns::Value(hour > std::numeric_limits<int64_t>::min() / kHour + 1 ? (hour - 1) * kHour
                                                                                  : std::numeric_limits<int64_t>::min());
  }
  MSRClearStoredDeepLink(*defaults);
  handleOpenURLOnWorkerQueue(link, clickTimestampInMillis, timestamp.value_or(0), extra);
}

void MSRMeasurement::backfillSessionNumber() {
  if (persistedConfig_->sessionNumber() != 0) return;
  auto database = this->database();
  if (!database) return;
  ns::Error error;
  auto aggregates = database->eventAggregatesWithName("_s", &error);
  if (error.code() != 0) {
    monitor()->logWithLevel(1, 23063, "Unable to query event aggregates. Name, error", std::string("_s"),
                            MSRLogContext(error));
    return;
  }
  if (aggregates) persistedConfig_->setSessionNumber(aggregates->lifetimeCount());
}

void MSRMeasurement::setSessionTimeoutInterval(double interval) {
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:1547", [weak, interval] {
    auto engine = weak.lock();
    if (!engine) return;
    // The reporter keeps its time-out once it follows sessions; until then
    // it has none to set.
    (void)interval;
  });
}

double MSRMeasurement::firstOpenTimestamp() {
  auto database = this->database();
  if (!database) return 0;
  ns::Error error;
  auto attributes = database->userAttributesIncludingInternal(true, &error);
  if (!attributes) {
    monitor()->logWithLevel(1, 23123, "Unable to query current user properties. Error", MSRLogContext(error));
    return 0;
  }
  if (attributes->empty()) {
    monitor()->logWithLevel(2, 23124, "Cannot extract first open timestamp. Empty user properties");
    return 0;
  }
  double earliest = std::numeric_limits<double>::infinity();
  for (const auto& attribute : *attributes) {
    if (attribute->name() == "_fot") return attribute->lastSetTimestamp();
    earliest = std::min(earliest, attribute->lastSetTimestamp());
  }
  return earliest;
}

std::optional<ns::FileAttributes> MSRMeasurement::fileAttributesForPath(const std::string& path) {
  if (path.empty()) return std::nullopt;
  ns::Error error;
  auto attributes = ns::FileManager::defaultManager().attributesOfItem(path, &error);
  if (!attributes) {
    monitor()->logWithLevel(5, 23022, "Unable to read attributes of path. Path, error", path, MSRLogContext(error));
  }
  return attributes;
}
