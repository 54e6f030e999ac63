// The analytics interface: its settings, queues, start and enablement, and
// the calls that go straight to the engine. Events, listeners and user
// properties are in MSRAnalyticsEvents.cc, consent in MSRAnalyticsConsent.cc.
#include "Libraries/Measurement/Core/MSRAnalytics.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "Libraries/Measurement/Core/MSRAnalyticsState.h"
#include "Libraries/Measurement/Core/MSRAppDelegateInterceptor.h"
#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRIdentifiers.h"
#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/Measurement/Core/testing/MSRAnalyticsTesting.h"
#include "Libraries/Measurement/Reporters/MSRInAppPurchaseTransactionReporter.h"
#include "Libraries/Measurement/Reporters/MSRScreenViewReporter.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/MSRInfoPlistFileUtil.h"
#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"
#include "Libraries/TelemetryCore/VOZIzizuzoveConfiguration.h"
#include "Libraries/TelemetryFoundation/ZULAppDelegateSwizzler.h"
#include "Libraries/TelemetryFoundation/ZULNetwork.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Runtime/Runtime.h"

namespace {

constexpr const char* kSuiteName = "MSRAnalyticsSuiteName";
constexpr const char* kPersistentConfigInApplicationSupportEnabledKey =
    "persistent_config_in_application_support_enabled";

MSRUserDefaults& analyticsDefaults() { return MSRAnalyticsDefaults(); }

double now() { return ns::Clock::now().timeIntervalSince1970(); }

}  // namespace

MSRUserDefaults& MSRAnalyticsDefaults() {
  static const auto* defaults = new std::shared_ptr<MSRUserDefaults>(std::make_shared<MSRUserDefaults>(kSuiteName));
  return **defaults;
}

std::shared_ptr<dispatch::OperationQueue> MSRAnalyticsMakeOperationQueue() {
  auto queue = dispatch::OperationQueue::create(MSRAnalytics::kOperationQueueName, dispatch::Priority::Background);
  queue->setMaxConcurrentOperationCount(1);
  queue->setSuspended(true);
  return queue;
}

MSRAnalyticsState& MSRAnalyticsSharedState() {
  static auto* state = [] {
    auto* made = new MSRAnalyticsState();
    made->operationQueue = MSRAnalyticsMakeOperationQueue();
    return made;
  }();
  return *state;
}

std::shared_ptr<MSRMeasurement> MSRAnalyticsEngine() {
  return MSRMeasurement::hasSharedInstance() ? MSRMeasurement::sharedInstance() : nullptr;
}

bool MSRAnalytics::persistentConfigInApplicationSupportEnabled() {
  return analyticsDefaults().boolForKey(kPersistentConfigInApplicationSupportEnabledKey);
}

void MSRAnalytics::setPersistentConfigInApplicationSupportEnabled(bool enabled) {
  analyticsDefaults().setBool(enabled, kPersistentConfigInApplicationSupportEnabledKey);
}

namespace {

constexpr const char* kResetRetryCountKey = "reset_retry_count";
constexpr const char* kNeedFirstOpenAfterResetKey = "need_first_open_after_reset";
constexpr const char* kAppInstanceIDAfterResetKey = "app_instance_id_after_reset";
constexpr const char* kDeferredAnalyticsCollectionKey = "deferred_analytics_collection";
constexpr const char* kDeferredConsentResetKey = "deferred_consent_reset";

struct LoadTime {
  std::mutex mutex;
  std::optional<double> seconds;
};

LoadTime& loadTime() {
  static auto* instance = new LoadTime();
  return *instance;
}

}  // namespace

int64_t MSRAnalytics::resetRetryCount() {
  auto value = analyticsDefaults().objectForKey(kResetRetryCountKey);
  return value && value->isNumber() ? value->integerValue() : 0;
}

void MSRAnalytics::setResetRetryCount(int64_t count) {
  if (count < 1) {
    analyticsDefaults().removeObjectForKey(kResetRetryCountKey);
  } else {
    analyticsDefaults().setObject(ns::Value(count), kResetRetryCountKey);
  }
}

bool MSRAnalytics::needFirstOpenAfterReset() { return analyticsDefaults().boolForKey(kNeedFirstOpenAfterResetKey); }

void MSRAnalytics::setNeedFirstOpenAfterReset(bool need) { analyticsDefaults().setBool(need, kNeedFirstOpenAfterResetKey); }

void MSRAnalytics::removeNeedFirstOpenAfterReset() { analyticsDefaults().removeObjectForKey(kNeedFirstOpenAfterResetKey); }

std::optional<std::string> MSRAnalytics::appInstanceIDAfterReset() {
  auto value = analyticsDefaults().objectForKey(kAppInstanceIDAfterResetKey);
  if (value && value->asString()) return *value->asString();
  return std::nullopt;
}

void MSRAnalytics::setAppInstanceIDAfterReset(const std::optional<std::string>& appInstanceID) {
  if (appInstanceID) {
    analyticsDefaults().setObject(ns::Value(*appInstanceID), kAppInstanceIDAfterResetKey);
  } else {
    analyticsDefaults().removeObjectForKey(kAppInstanceIDAfterResetKey);
  }
}

std::optional<ns::Value> MSRAnalytics::deferredAnalyticsCollection() {
  return analyticsDefaults().objectForKey(kDeferredAnalyticsCollectionKey);
}

void MSRAnalytics::setDeferredAnalyticsCollection(const std::optional<ns::Value>& value) {
  analyticsDefaults().setObject(value, kDeferredAnalyticsCollectionKey);
}

std::optional<ns::Value> MSRAnalytics::deferredResetOnDeniedConsent() {
  return analyticsDefaults().objectForKey(kDeferredConsentResetKey);
}

void MSRAnalytics::removeDeferredResetOnDeniedConsent() { analyticsDefaults().removeObjectForKey(kDeferredConsentResetKey); }

double MSRAnalytics::loadTimestamp() {
  std::lock_guard lock(loadTime().mutex);
  if (!loadTime().seconds) loadTime().seconds = ns::Clock::now().timeIntervalSince1970();
  return *loadTime().seconds;
}

void MSRAnalytics::setLoadTimestamp(double seconds) {
  std::lock_guard lock(loadTime().mutex);
  loadTime().seconds = seconds;
}

// ---- The instance ----

const std::shared_ptr<MSRAnalytics>& MSRAnalytics::sharedInstance() {
  static const auto* instance = new std::shared_ptr<MSRAnalytics>(new MSRAnalytics());
  return *instance;
}

MSRAnalytics::~MSRAnalytics() { sk::PaymentQueue::defaultQueue().removeTransactionObserver(this); }

// ---- Queues ----

const std::shared_ptr<dispatch::Queue>& MSRAnalytics::queue() {
  static const auto* queue = new std::shared_ptr<dispatch::Queue>(
      dispatch::Queue::create(kQueueLabel, dispatch::Queue::Kind::Serial, dispatch::Priority::Background));
  return *queue;
}

namespace {

std::shared_ptr<dispatch::OperationQueue> operationQueue() {
  auto& state = MSRAnalyticsSharedState();
  std::lock_guard lock(state.mutex);
  return state.operationQueue;
}

}  // namespace

void MSRAnalytics::dispatchAsyncOnSerialQueue(std::function<void()> block) { queue()->async(std::move(block)); }

void MSRAnalytics::queueOperationWithBlock(std::function<void()> block) {
  operationQueue()->addOperation([block = std::move(block)] { dispatchAsyncOnSerialQueue(block); });
}

void MSRAnalytics::queueOperationWithBlockThenWait(std::function<void()> block) {
  auto operations = operationQueue();
  operations->addOperation([block = std::move(block)] { dispatchAsyncOnSerialQueue(block); });
  if (operations->isSuspended()) return;
  operations->waitUntilAllOperationsAreFinished();
  operations->setSuspended(true);
  queue()->afterSeconds(0.5, [operations] { operations->setSuspended(false); });
}

void MSRAnalytics::unsuspendOperationQueue() { operationQueue()->setSuspended(false); }

bool MSRAnalytics::isCurrentQueueSerialQueue() { return dispatch::Queue::currentLabel() == kQueueLabel; }

// ---- Start and enablement ----

namespace {

constexpr const char* kAnalyticsDocumentation = "https://zorori.example/docs/analytics/get-started";

// Start's options, read once (step 6).
struct StartSettings {
  bool enabled = true;
  bool deactivated = false;
  std::vector<std::string> safelist;
};

StartSettings readStartSettings(const MSRAnalyticsStartOptions& options) {
  StartSettings settings;
  if (options.empty()) return settings;
  auto log = MSRMeasurement::monitor();
  const ns::Dictionary& values = options.dictionary;
  if (const auto* enabled = values.find("DOZAVEVE_ANALYTICS_COLLECTION_ENABLED"); enabled && enabled->isNumber()) {
    settings.enabled = enabled->boolValue();
  }
  if (const auto* deactivated = values.find("DOZAVEVE_ANALYTICS_COLLECTION_DEACTIVATED");
      deactivated && deactivated->isNumber()) {
    settings.deactivated = deactivated->boolValue();
  }
  if (const auto* safelist = values.find("safelisted_events")) {
    if (const auto* names = safelist->asArray()) {
      std::vector<std::string> kept;
      bool valid = true;
      for (const auto& name : *names) {
        if (!MSRDataTypeValidator::isValidInternalEventName(&name)) {
          log->logWithLevel(0, 25035, "Invalid event name for safelisting. Name", MSRLogContext(name));
          valid = false;
          break;
        }
        kept.push_back(*name.asString());
      }
      if (valid) settings.safelist = std::move(kept);
    } else {
      log->logWithLevel(0, 25034, "Invalid safelisted event parameter. Type must be an array");
    }
  }
  ns::Dictionary consent = MSRConsentSettingsUtil::consentSettingsFromDictionary(values);
  if (!consent.empty()) MSRAnalyticsDefaults().setObject(ns::Value(consent), "consent_settings_on_start");
  return settings;
}

}  // namespace

void MSRAnalytics::startWithAppID(const std::string& appID, const std::string& origin,
                                  const MSRAnalyticsStartOptions& options) {
  auto log = MSRMeasurement::monitor();
  if (rt::classFromString("DODIVoveveda")) {
    log->logWithLevel(1, 25029,
                      "Detected an older version of Zorori Analytics for Dozaveve framework. Data collection will be "
                      "disabled. Please upgrade to the latest version of Zorori Analytics for Dozaveve");
    return;
  }
  if (!rt::classFromString("VOZIzizuzove")) {
    auto servicePlist = MSRInfoPlistFileUtil::zororiServiceInfoPlistPath();
    if (servicePlist && !servicePlist->empty()) {
      log->logWithLevel(0, 25027,
                        std::string("Deferring to Zorori Analytics for Dozaveve for event data collection. See ") +
                            kAnalyticsDocumentation);
      return;
    }
  } else if (origin != "fa") {
    log->logWithLevel(3, 25026, "Deferring to Dozaveve for event data collection");
    return;
  }
  if (rt::classFromString("ZIDOdozozAro") && MSRInfoPlistFileUtil::dictionaryFromZororiServiceInfoPlist()) {
    auto riVar = MSRIdentity::sharedInstance()->appIDFromRiVar();
    if (!riVar || riVar->empty()) {
      log->logWithLevel(3, 25028,
                        std::string("RiVar and Dozaveve are in use in this app, but are not linked. For analytics "
                                    "data consistency and integrity, it is highly recommended that you link your "
                                    "RiVar app to the corresponding Dozaveve app and re-download the "
                                    "ZororiServices-Info.plist file. See ") +
                            kAnalyticsDocumentation + " for more information.");
    }
  }
  if (!options.empty()) {
    const auto* tag = options.dictionary.find("app_measurement_log_tag");
    if (tag && tag->asString() && !tag->asString()->empty()) {
      log->setLogTag(*tag->asString());
    } else {
      log->logWithLevel(2, 25030, "Invalid monitor tag. It must be a non-empty string.");
    }
  }

  auto& state = MSRAnalyticsSharedState();
  {
    std::lock_guard lock(state.mutex);
    if (state.started) return;
    state.started = true;
  }
  if (MSRConsentSettingsUtil::consentSource() == MSRConsentSettingsUtil::kNoSource) loadPersistedConsentSettings();
  auto identity = MSRIdentity::sharedInstance();
  if (origin == "fa") {
    auto previous = identity->appIDFromZMP();
    if (previous != appID) {
      identity->setAppIDFromZMP(appID);
      log->logWithLevel(1, 25020,
                        "Analytics requires Zorori App ID from ZororiService-Info.plist. Your data may be lost. Zorori "
                        "App ID has been changed. Original, new ID",
                        MSRLogContext(previous.value_or("")), MSRLogContext(appID));
    }
  } else if (origin == "am") {
    auto previous = identity->appIDFromRiVar();
    if (previous != appID) {
      log->logWithLevel(3, 25031, "RiVar App ID changed. Original, new", MSRLogContext(previous.value_or("")),
                        MSRLogContext(appID));
      identity->setAppIDFromRiVar(appID);
    }
  }
  ns::NotificationCenter::defaultCenter().post(kWillStartNotification);
  MSRIdentifiers::sharedInstance()->setOrigin(origin);

  state.deactivated = false;
  StartSettings settings = readStartSettings(options);
  state.deactivated = settings.deactivated;
  dispatchAsyncOnSerialQueue([appID, settings] {
    MSRMeasurement::initializeSharedInstanceWithAppID(appID, settings.enabled, settings.deactivated,
                                                      settings.safelist);
    bool proxyEnabled = ZULAppDelegateSwizzler::isAppDelegateProxyEnabled();
    if (proxyEnabled && !settings.deactivated) {
      dispatch::Queue::main()->async([] { createAppDelegateProxy(); });
    }
    if (!proxyEnabled) MSRMeasurement::monitor()->logWithLevel(6, 25036, "App Delegate Proxy is disabled");
    auto engine = MSRAnalyticsEngine();
    MSRAnalyticsSharedState().enabled = engine && engine->wasEnabledDuringInitialization();
    maybeEnableDovIdirize();
  });
  if (options.configuration) observeNotificationsForAnalyticsConfiguration(options.configuration);
  sk::PaymentQueue::defaultQueue().addTransactionObserver(sharedInstance());
  unsuspendOperationQueue();
}

void MSRAnalytics::setAnalyticsEnabled(bool enabled, bool persistSetting) {
  dispatchAsyncOnSerialQueue([enabled, persistSetting] {
    if (persistSetting) MSRPersistedConfig::sharedInstance()->setMeasurementEnabledState(enabled ? 1 : 2);
    auto& state = MSRAnalyticsSharedState();
    if (state.deactivated && enabled) return;
    state.enabled = enabled;
    if (auto engine = MSRAnalyticsEngine()) engine->setEnabled(enabled);
  });
}

bool MSRAnalytics::isAnalyticsEnabled() { return MSRAnalyticsSharedState().enabled; }

bool MSRAnalytics::isAnalyticsCollectionDeactivated() { return MSRAnalyticsSharedState().deactivated; }

void MSRAnalytics::observeNotificationsForAnalyticsConfiguration(
    const std::shared_ptr<VOZIzizuzoveConfiguration>& configuration) {
  auto& center = ns::NotificationCenter::defaultCenter();
  const void* observer = &MSRAnalyticsSharedState();
  center.removeObserver(observer);
  center.addObserver(
      observer, [](const ns::Notification& notification) { handleSetEnabled(notification.userInfo()); },
      kVOZIzizuzoveConfigurationSetEnabledNotification, configuration.get());
}

void MSRAnalytics::handleSetEnabled(const ns::Dictionary& userInfo) {
  const auto* value = userInfo.find(kVOZIzizuzoveConfigurationSetEnabledNotification);
  if (value && value->isNumber()) {
    setAnalyticsEnabled(value->boolValue(), false);
  } else {
    MSRMeasurement::monitor()->logWithLevel(4, 25000, "Received setEnabled notification without NSNumber");
  }
}

void MSRAnalytics::createAppDelegateProxy() {
  {
    auto& state = MSRAnalyticsSharedState();
    std::lock_guard lock(state.mutex);
    if (state.appDelegateProxyCreated) return;
    state.appDelegateProxyCreated = true;
  }
  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  ZULAppDelegateSwizzler::registerAppDelegateInterceptor(MSRAppDelegateInterceptor::sharedInstance());
}

void MSRAnalytics::maybeEnableDovIdirize() {
  auto library = rt::classFromString("DOVIdirize");
  if (!library || !library->respondsToSelector("initializeSharedInstance")) return;
  auto initialize = rt::functionOf<void(const rt::Class&)>(
      rt::methodImplementation(*library, "initializeSharedInstance", rt::MethodKind::Class));
  if (!initialize) {
    MSRMeasurement::monitor()->logWithLevel(2, 25016, "DOVIdirize class doesn't define initializeSharedInstance");
    return;
  }
  initialize(*library);
}

// ---- Sessions, identity, user data, URLs, screens ----

void MSRAnalytics::setSessionTimeoutInterval(double interval) {
  dispatchAsyncOnSerialQueue([interval] {
    if (auto engine = MSRAnalyticsEngine()) engine->setSessionTimeoutInterval(interval);
  });
}

void MSRAnalytics::sessionIDWithCompletion(std::function<void(int64_t, std::optional<ns::Error>)> completion) {
  if (!completion) {
    MSRMeasurement::monitor()->logWithLevel(1, 25050, "Analytics sessionID completion cannot be nil");
    return;
  }
  auto answer = [completion](int64_t sessionID, std::optional<ns::Error> error) {
    dispatch::Queue::global(dispatch::Priority::Default)->async([completion, sessionID, error] {
      completion(sessionID, error);
    });
  };
  dispatchAsyncOnSerialQueue([answer] {
    auto engine = MSRAnalyticsEngine();
    if (!engine || !engine->didInitializeComponents()) {
      answer(0, msr_errorWithCode(13, "Analytics uninitialized"));
    } else if (!MSRMeasurement::remoteConfig()->isSessionIDEnabled()) {
      answer(0, msr_errorWithCode(13, "Session ID API disabled"));
    } else {
      engine->sessionIDWithCompletion(answer);
    }
  });
}

std::optional<std::string> MSRAnalytics::appInstanceID() {
  if (MSRConsentSettingsUtil::isAnalyticsStorageDenied()) return std::nullopt;
  if (auto afterReset = appInstanceIDAfterReset(); afterReset && !afterReset->empty()) return afterReset;
  return MSRIdentity::sharedInstance()->appInstanceID();
}

void MSRAnalytics::resetAnalyticsData() {
  setLoadTimestamp(now());
  setResetRetryCount(resetRetryCount() + 1);
  setNeedFirstOpenAfterReset(true);
  std::string appInstanceID = MSRIdentity::randomAppInstanceID();
  if (appInstanceID.empty()) {
    MSRMeasurement::monitor()->logWithLevel(1, 25039, "Cannot generate a new app instance ID");
    return;
  }
  // With analytics storage denied the engine starts over without an ID.
  std::string passed;
  if (!MSRConsentSettingsUtil::isAnalyticsStorageDenied()) {
    passed = appInstanceID;
    setAppInstanceIDAfterReset(passed);
  }
  queueOperationWithBlock([passed] {
    auto engine = MSRAnalyticsEngine();
    if (!engine) return;
    if (!engine->resetAnalyticsDataWithAppInstanceID(passed)) {
      MSRMeasurement::monitor()->logWithLevel(1, 25037, "Failed to reset Analytics data");
      return;
    }
    setResetRetryCount(0);
    if (appInstanceIDAfterReset() == std::optional(passed)) setAppInstanceIDAfterReset(std::nullopt);
  });
}

void MSRAnalytics::setUserData(const ns::Dictionary& userData) {
  queueOperationWithBlockThenWait([userData] { setUserDataOnSerialQueue(userData); });
}

void MSRAnalytics::setUserDataOnSerialQueue(const ns::Dictionary& userData) {
  if (!isAnalyticsEnabled()) {
    MSRMeasurement::monitor()->logWithLevel(4, 25044, "Analytics is disabled. User data not set.");
    return;
  }
  if (auto engine = MSRAnalyticsEngine()) engine->setUserData(userData);
}

void MSRAnalytics::handleOpenURL(const std::string& url) {
  double timestamp = now();
  dispatchAsyncOnSerialQueue([url, timestamp] {
    if (auto engine = MSRAnalyticsEngine()) engine->handleNonFirstOpenEventURL(url, timestamp);
    MSROpenURLListener listener;
    {
      auto& state = MSRAnalyticsSharedState();
      std::lock_guard lock(state.mutex);
      listener = state.openURLListener;
    }
    if (listener) listener(url);
  });
}

void MSRAnalytics::handleUserActivity(const ui::UserActivity& activity) {
  double timestamp = now();
  dispatchAsyncOnSerialQueue([activity, timestamp] {
    auto url = MSRMeasurement::deepLinkFromUserActivity(&activity);
    if (!url || url->empty()) return;
    if (auto engine = MSRAnalyticsEngine()) engine->handleNonFirstOpenEventURL(*url, timestamp);
  });
}

void MSRAnalytics::setOpenURLListener(MSROpenURLListener listener) {
  dispatchAsyncOnSerialQueue([listener = std::move(listener)] {
    auto& state = MSRAnalyticsSharedState();
    std::lock_guard lock(state.mutex);
    state.openURLListener = listener;
  });
}

void MSRAnalytics::handleEventsForBackgroundURLSession(const std::string& identifier,
                                                       std::function<void()> completionHandler) {
  ZULNetwork::handleEventsForBackgroundURLSessionID(identifier, std::move(completionHandler));
}

void MSRAnalytics::setScreenName(const std::optional<std::string>& screenName,
                                 const std::optional<std::string>& screenClass) {
  if (!dispatch::isMainThread()) {
    MSRMeasurement::monitor()->logWithLevel(3, 25025,
                                            "setScreenName:screenClass: must be called from the main thread to "
                                            "ensure that events are associated with the intended screen.");
    return;
  }
  MSRScreenViewReporter::sharedInstance()->setScreenName(screenName, screenClass);
}

// ---- Purchases ----

void MSRAnalytics::paymentQueueUpdatedTransactions(const sk::PaymentTransactionList& transactions) {
  queueOperationWithBlock([transactions] {
    auto engine = MSRAnalyticsEngine();
    if (!isAnalyticsEnabled() || !engine) return;
    engine->filterPurchaseTransactions(transactions, [](const sk::PaymentTransactionList& kept) {
      MSRInAppPurchaseTransactionReporter::sharedInstance()->paymentQueueUpdatedFilteredTransactions(
          sk::PaymentQueue::defaultQueue(), kept);
    });
  });
}

void MSRAnalytics::paymentQueueUpdatedTransactions(sk::PaymentQueue&, const sk::PaymentTransactionList& transactions) {
  paymentQueueUpdatedTransactions(transactions);
}

// ---- Tests ----

void MSRAnalyticsWaitForTesting() {
  auto wait = [] {
    for (int round = 0; round < 4; ++round) {
      auto operations = operationQueue();
      if (!operations->isSuspended()) operations->waitUntilAllOperationsAreFinished();
      MSRAnalytics::queue()->sync([] {});
      if (auto engine = MSRAnalyticsEngine()) engine->scheduler()->dispatchSyncOnWorkerQueueBlockID("test", [] {});
    }
  };
  if (!dispatch::isMainThread()) return wait();
  // Storing an event asks the main thread for the vendor identifier: the
  // main run loop turns while another thread waits.
  std::atomic<bool> done{false};
  std::thread waiter([&] {
    wait();
    done = true;
    dispatch::Queue::main()->async([] {});
  });
  dispatch::RunLoop::main().runUntil([&done] { return done.load(); }, 600);
  waiter.join();
}

void MSRAnalyticsResetForTesting() {
  MSRAnalyticsWaitForTesting();
  sk::PaymentQueue::defaultQueue().removeTransactionObserver(MSRAnalytics::sharedInstance().get());
  ns::NotificationCenter::defaultCenter().removeObserver(&MSRAnalyticsSharedState());
  auto& state = MSRAnalyticsSharedState();
  state.deactivated = false;
  state.enabled = false;
  std::lock_guard lock(state.mutex);
  state.started = false;
  state.appDelegateProxyCreated = false;
  state.operationQueue = MSRAnalyticsMakeOperationQueue();
  state.interceptor = nullptr;
  state.listeners.reset();
  state.openURLListener = nullptr;
}
