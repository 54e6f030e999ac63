#include "Libraries/Measurement/Core/MSRMeasurement.h"

#include <cstdio>
#include <mutex>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRBackwardCompatibilityUtil.h"
#include "Libraries/Measurement/Core/MSRIdentifiers.h"
#include "Libraries/Measurement/Core/testing/MSRMeasurementTesting.h"
#include "Libraries/Measurement/Reporters/MSRAudience.h"
#include "Libraries/Measurement/Reporters/MSREManager.h"
#include "Libraries/Measurement/Reporters/MSRScreenViewReporter.h"
#include "Libraries/Measurement/Reporters/MSRSearchAdReporter.h"
#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/MSREndpoints.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Libraries/TelemetryCore/VOZIzizuzoveEntryPoint.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Runtime/Runtime.h"

namespace {

constexpr const char* kWorkerQueueLabel = "com.zorori.zova.worker";
constexpr const char* kHelpPage = " (see https://zorori.example/docs/analytics/debugview)";

struct Running {
  std::mutex mutex;
  std::shared_ptr<MSRRemoteConfig> remoteConfigOverride;
  std::shared_ptr<MSRMeasurement> sharedInstance;
  bool initializationAttempted = false;
};

Running& running() {
  static Running* instance = new Running();
  return *instance;
}

// The wire messages cannot reach the monitor (the measurement library
// links them, not the other way), so the monitor hands them a sink.
void takeWireMessagesLog(const std::shared_ptr<MSRMonitor>& monitor) {
  MSRPBSetMeasurementLogSink([monitor](const MSRPBMeasurementLogMessage& message) {
    if (message.context) {
      monitor->logWithLevel(message.level, message.code, message.text, *message.context);
    } else {
      monitor->logWithLevel(message.level, message.code, message.text);
    }
  });
}

bool present(const std::optional<std::string>& text) { return text && !text->empty(); }

int64_t monitorLevel(ZULNetworkLogLevel level) {
  switch (static_cast<long>(level)) {
    case 3: return 1;
    case 4: return 4;
    case 5: return 3;
    case 6: return 6;
    case 7: return 7;
    default: return 3;
  }
}

}  // namespace

std::shared_ptr<MSRMonitor> MSRMeasurement::monitor() {
  static const std::shared_ptr<MSRMonitor> instance = [] {
    auto monitor = MSRMonitor::initWithLibraryVersion(MSRIdentity::dudUziroruvozaLibraryVersion());
    takeWireMessagesLog(monitor);
    return monitor;
  }();
  return instance;
}

std::shared_ptr<MSRRemoteConfig> MSRMeasurement::remoteConfig() {
  std::shared_ptr<MSRMeasurement> engine;
  {
    std::lock_guard lock(running().mutex);
    if (running().remoteConfigOverride) return running().remoteConfigOverride;
    engine = running().sharedInstance;
  }
  // The engine publishes its configuration under its own lock: the worker
  // queue may be setting it right now.
  if (engine) {
    if (auto config = engine->remoteConfigInstance()) return config;
  }
  return MSRRemoteConfig::defaultInstance();
}

void MSRMeasurementSetRemoteConfigForTesting(std::shared_ptr<MSRRemoteConfig> remoteConfig) {
  std::lock_guard lock(running().mutex);
  running().remoteConfigOverride = std::move(remoteConfig);
}

void MSRMeasurement::initializeSharedInstanceWithAppID(const std::string& appID, bool isAnalyticsCollectionEnabled,
                                                       bool isAnalyticsCollectionDeactivated,
                                                       const std::vector<std::string>& safelistedEvents) {
  std::lock_guard lock(running().mutex);
  if (running().initializationAttempted) return;
  running().initializationAttempted = true;
  if (appID.empty()) return;
  monitor();
  running().sharedInstance = initWithAppID(appID, isAnalyticsCollectionEnabled, isAnalyticsCollectionDeactivated,
                                           safelistedEvents, MSREManager::sharedInstance());
}

bool MSRMeasurement::hasSharedInstance() {
  std::lock_guard lock(running().mutex);
  return running().initializationAttempted && running().sharedInstance != nullptr;
}

std::shared_ptr<MSRMeasurement> MSRMeasurement::sharedInstance() {
  std::shared_ptr<MSRMeasurement> instance;
  {
    std::lock_guard lock(running().mutex);
    instance = running().sharedInstance;
  }
  if (!instance && rt::classFromString("VOZIzizuzove")) {
    ZULLoggerLogError("<DudUziroruvoza>", false, "I-ACS023147",
                      "Zorori Analytics for Dozaveve has not been created. Please, configure Dozaveve by calling "
                      "[VIDUve configure]");
  }
  return instance;
}

std::shared_ptr<MSRMeasurement> MSRMeasurementForTesting(bool enabled, std::shared_ptr<MSRIdentity> identity) {
  auto measurement = std::make_shared<MSRMeasurement>();
  measurement->enabled_ = enabled;
  measurement->identity_ = std::move(identity);
  return measurement;
}

void MSRMeasurementSetSharedInstanceForTesting(std::shared_ptr<MSRMeasurement> measurement) {
  std::lock_guard lock(running().mutex);
  running().initializationAttempted = measurement != nullptr;
  running().sharedInstance = std::move(measurement);
}

void MSRMeasurementForgetSharedInstanceForTesting() {
  std::lock_guard lock(running().mutex);
  running().initializationAttempted = false;
  running().sharedInstance.reset();
}

bool MSRMeasurement::isDozaveveRemoteConfigSDKPresent() { return rt::classFromString("ZURAvevezUdavur") != nullptr; }

std::shared_ptr<MSRMeasurement> MSRMeasurement::initWithAppID(const std::string& appID,
                                                              bool isAnalyticsCollectionEnabled,
                                                              bool isAnalyticsCollectionDeactivated,
                                                              const std::vector<std::string>& safelistedEvents,
                                                              std::shared_ptr<MSREManager> experimentManager) {
  auto log = monitor();
  if (appID.empty()) {
    log->logWithLevel(1, 23170, "Cannot start Measurement. App ID is empty.");
    return nullptr;
  }
  auto flavour = rt::classFromString("VOZIzizuzove");
  std::string version = "101600000";
  if (flavour) {
    auto topLevel = rt::functionOf<std::string(const rt::Class&)>(
        rt::methodImplementation(*flavour, "topLevelVersion", rt::MethodKind::Class));
    if (topLevel) version = topLevel(*flavour);
  }
  log->logWithLevel(6, 23007, "Analytics v." + version + " started");
  if (flavour) log->logWithLevel(8, 23222, "Build " + std::to_string(MSRIdentity::dudUziroruvozaLibraryVersion()));
  const char* debugOn = flavour ? "-VOZIzizuzoveDebugEnabled" : "-MSRAnalyticsDebugEnabled";
  const char* debugOff = flavour ? "-noVOZIzizuzoveDebugEnabled" : "-noMSRAnalyticsDebugEnabled";
  const char* verboseOn = flavour ? "-VOZIzizuzoveVerboseLoggingEnabled" : "-MSRAnalyticsVerboseLoggingEnabled";
  const char* verboseOff = flavour ? "-VOZIzizuzoveVerboseLoggingDisabled" : "-MSRAnalyticsVerboseLoggingDisabled";
  if (log->isDebugModeEnabled()) {
    log->logWithLevel(6, 23008,
                      std::string("To disable debug logging set the following application argument: ") + debugOff +
                          kHelpPage);
  } else {
    log->logWithLevel(6, 23008,
                      std::string("To enable debug logging set the following application argument: ") + debugOn +
                          kHelpPage);
  }
  log->logWithLevel(7, 23009, "Debug logging enabled");
  if (log->isVerboseLoggingEnabled()) {
    log->logWithLevel(7, 23207,
                      std::string("To disable verbose logging set the following application argument: ") + verboseOff);
  } else {
    log->logWithLevel(7, 23207,
                      std::string("To enable verbose logging set the following application argument: ") + verboseOn);
  }

  std::shared_ptr<ZULNetwork> network;
  if (auto host = MSREndpoints::uploadURL().host()) network = ZULNetwork::initWithReachabilityHost(*host);
  if (!network) log->logWithLevel(1, 23010, "Failed to initialize network component");
  auto scheduler = std::make_shared<MSRScheduler>(kWorkerQueueLabel);
  auto alarm = MSRAlarm::initWithDispatchQueue(scheduler->workerQueue(), "Measurement timer");
  return initWithDatabaseName(kDatabaseName, MSRPersistedConfig::sharedInstance(), network, scheduler, alarm, appID,
                              isAnalyticsCollectionEnabled, isAnalyticsCollectionDeactivated, safelistedEvents,
                              std::move(experimentManager));
}

std::shared_ptr<MSRMeasurement> MSRMeasurement::initWithDatabaseName(
    const std::string& databaseName, std::shared_ptr<MSRPersistedConfig> persistedConfig,
    std::shared_ptr<ZULNetwork> network, std::shared_ptr<MSRScheduler> scheduler, std::shared_ptr<MSRAlarm> alarm,
    const std::string& appID, bool isAnalyticsCollectionEnabled, bool isAnalyticsCollectionDeactivated,
    const std::vector<std::string>& safelistedEvents, std::shared_ptr<MSREManager> experimentManager) {
  auto engine = std::make_shared<MSRMeasurement>();
  engine->appID_ = appID;
  engine->isAnalyticsCollectionEnabled_ = isAnalyticsCollectionEnabled;
  engine->isAnalyticsCollectionDeactivated_ = isAnalyticsCollectionDeactivated;
  engine->experimentManager_ = std::move(experimentManager);
  if (auto stored = persistedConfig->loadTimestampValue(); stored && stored->isNumber()) {
    engine->initTimestamp_ = stored->doubleValue();
  } else {
    engine->initTimestamp_ = MSRAnalytics::loadTimestamp();
    persistedConfig->setLoadTimestampValue(ns::Value(engine->initTimestamp_.load()));
  }
  engine->databaseName_ = databaseName;
  engine->persistedConfig_ = std::move(persistedConfig);
  engine->network_ = std::move(network);
  if (engine->network_) {
    engine->network_->setLoggerDelegate(engine);
    engine->network_->setIsDebugModeEnabled(monitor()->isDebugModeEnabled());
  }
  engine->scheduler_ = std::move(scheduler);
  engine->alarm_ = std::move(alarm);
  engine->safelistedEvents_ = safelistedEvents;
  bool enable = engine->shouldEnableMeasurement();
  engine->setEnabled(enable);
  engine->wasEnabledDuringInitialization_ = enable;
  return engine;
}

bool MSRMeasurement::shouldEnableMeasurement() const {
  if (isAnalyticsCollectionDeactivated_) return false;
  switch (persistedConfig_->measurementEnabledState()) {
    case 1: return true;
    case 2: return false;
    default: return isAnalyticsCollectionEnabled_;
  }
}

void MSRMeasurement::setEnabled(bool enabled) {
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:622", [weak, enabled] {
    if (auto engine = weak.lock()) engine->setEnabledOnWorkerQueue(enabled);
  });
}

void MSRMeasurement::setEnabledOnWorkerQueue(bool enable) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("setIsEnabledOnWorkerQueue");
  auto log = monitor();
  if (isAnalyticsCollectionDeactivated_ && enable) {
    log->logWithLevel(6, 23206, "Analytics collection deactivated");
    return;
  }
  if (!isAnalyticsCollectionDeactivated_ && !MSRAnalytics::deferredAnalyticsCollection()) {
    MSRAnalytics::setDeferredAnalyticsCollection(ns::Value(!enable));
  }
  enabled_ = enable;
  if (enable) {
    if (!startMeasurementOnWorkerQueue()) {
      log->logWithLevel(0, 23011, "Failed to start Analytics. Analytics is disabled");
      setEnabled(false);
      return;
    }
    if (auto reporter = sessionReporter()) reporter->setReportingEnabled(true);
    if (auto reporter = searchAdReporter()) reporter->setSearchAdReporterEnabled(true);
    log->logWithLevel(6, 23012, "Analytics collection enabled");
    if (MSRScreenViewReporter::isScreenReportingEnabled() && rt::classFromString(kVOZIzizuzoveClassName)) {
      log->logWithLevel(6, 23220,
                        "Analytics screen reporting is enabled. Call Analytics.logEvent(AnalyticsEventScreenView, "
                        "parameters: [...]) to log a screen view event. To disable automatic screen reporting, set "
                        "the flag DozaveveAutomaticScreenReportingEnabled to NO (boolean) in the Info.plist");
    }
  } else {
    dropExpiredStoredDeepLink();
    if (alarm_) alarm_->cancel();
    if (auto reporter = sessionReporter()) reporter->setReportingEnabled(false);
    if (auto reporter = searchAdReporter()) reporter->setSearchAdReporterEnabled(false);
    log->logWithLevel(6, 23013, "Analytics collection disabled");
  }
}

bool MSRMeasurement::startMeasurementOnWorkerQueue() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("startMeasurementOnWorkerQueue");
  {
    std::lock_guard lock(initializeComponentsLock_);
    if (!didInitializeComponents_) {
      if (!initializeComponentsOnWorkerQueue()) return false;
      didInitializeComponents_ = true;
    }
  }
  if (MSRAnalytics::needFirstOpenAfterReset()) {
    reportFirstOpenOnWorkerQueue();
    MSRAnalytics::removeNeedFirstOpenAfterReset();
  }
  updateSchedule();
  if (MSRBackwardCompatibilityUtil::disableRERUzerovarira()) {
    monitor()->logWithLevel(1, 23210, "RERUzerovarira has been disabled");
  }
  return true;
}

bool MSRMeasurement::initializeComponentsOnWorkerQueue() {
  auto log = monitor();
  auto identity = MSRIdentity::sharedInstance();
  if (!identity) return false;
  {
    std::lock_guard lock(componentsMutex_);
    identity_ = identity;
  }
  auto consentBefore = MSRConsentSettingsUtil::consentSettings();
  setProspectiveConsentSettings();
  bool resetOnConsent = MSRConsentSettingsUtil::didWithdrawPreviousConsent(
      consentBefore ? std::optional<ns::Value>(ns::Value(*consentBefore)) : std::nullopt);
  if (!resetOnConsent) {
    if (auto deferred = MSRAnalytics::deferredResetOnDeniedConsent()) resetOnConsent = deferred->boolValue();
  }
  MSRAnalytics::removeStartUpConsentSettings();
  MSRAnalytics::removeDeferredResetOnDeniedConsent();

  if (shouldWipeDataWithAppID(appID_, identity->appIDFromZMP(), identity->appIDFromRiVar(),
                              persistedConfig_->appIDFromZMP(), persistedConfig_->appIDFromRiVar()) ||
      resetOnConsent) {
    if (resetOnConsent) MSRAnalytics::setAppInstanceIDAfterReset(std::nullopt);
    MSRAnalytics::setResetRetryCount(MSRAnalytics::resetRetryCount() + 1);
    if (wipeoutAnalyticsDataAndResetComponents()) {
      MSRAnalytics::setResetRetryCount(0);
    } else {
      log->logWithLevel(4, 23208, "Failed to wipe out Analytics data");
    }
  }
  identity->updateIdentifiers();
  if (auto after = MSRAnalytics::appInstanceIDAfterReset(); after && !after->empty()) {
    identity->setAppInstanceID(*after);
    MSRAnalytics::setAppInstanceIDAfterReset(std::nullopt);
  }
  updatePersistedAppIDFromZMPAndRiVar();

  ns::Error error;
  auto database = MSRDatabase::initWithDatabaseName(databaseName_, persistedConfig_, &error);
  if (!database) database = MSRDatabase::initWithDatabaseName(databaseName_, persistedConfig_, &error);
  if (!database) return false;
  auto remoteConfig = MSRRemoteConfig::initWithAppID(appID_, database, experimentManager_);
  if (!remoteConfig) return false;
  auto audience = MSRAudience::initWithDatabase(database);
  if (!audience) return false;
  {
    std::lock_guard lock(componentsMutex_);
    database_ = database;
    remoteConfig_ = remoteConfig;
    audience_ = audience;
  }
  // Made outside the lock: the reporter reads its time-out from the
  // configuration just published, which takes the same lock.
  if (!sessionReporter()) {
    auto reporter = MSRSessionReporter::initWithPersistedConfig(persistedConfig_);
    std::lock_guard lock(componentsMutex_);
    if (!sessionReporter_) sessionReporter_ = std::move(reporter);
  }
  ns::Error backupError;
  std::string folder = MSRApplicationSupportFilePath(databaseName_);
  folder = folder.substr(0, folder.rfind('/'));
  if (!MSRExcludeFileFromBackup(folder, &backupError)) {
    log->logWithLevel(5, 23015, "Failed to exclude directory from backup. Error", MSRLogContext(backupError));
  }
  log->logWithLevel(7, 23016, "Analytics is ready to receive events");
  log->setEncodeContexts(identity->isFromAppStore());
  ns::Error staleError;
  if (!database->maybeDeleteStaleData(&staleError) && staleError.code() != 0) {
    log->logWithLevel(5, 23018, "Unable to delete stale data. Error", MSRLogContext(staleError));
  }
  // The lifecycle events, the launch link and the on-device conversion
  // checks of a start (MSRMeasurementFirstOpen.cc, MSRMeasurementDeepLink.cc,
  // MSRMeasurementPSM.cc).
  checkPSMDependencyOnWorkerQueue();
  maybeDeleteExpiredPSMValueOnWorkerQueue();
  backfillSessionNumber();
  reportFirstOpenOnWorkerQueue();
  reportStoredCampaignOrRequestDeferredDeepLinkOnWorkerQueue();
  reportAppUpdateOnWorkerQueue();
  reportOSUpdateOnWorkerQueue();
  // Search-ads attribution, until it has been answered.
  if (auto reporter = MSRSearchAdReporter::initWithWorkerQueue(scheduler_->workerQueue(), persistedConfig_)) {
    {
      std::lock_guard lock(componentsMutex_);
      searchAdReporter_ = reporter;
    }
    reporter->setSearchAdReporterEnabled(true);
    reporter->start();
  }
  if (persistedConfig_->dozaveveFeatureRollouts() && !isDozaveveRemoteConfigSDKPresent()) {
    persistedConfig_->setDozaveveFeatureRollouts(std::nullopt);
  }
  subscribeForAppForegroundBackgroundNotifications();
  return true;
}

bool MSRMeasurement::shouldWipeDataWithAppID(const std::optional<std::string>& a,
                                             const std::optional<std::string>& g,
                                             const std::optional<std::string>& m,
                                             const std::optional<std::string>& pg,
                                             const std::optional<std::string>& pm) const {
  int64_t retries = MSRAnalytics::resetRetryCount();
  if (retries >= 1 && retries <= 9) return true;
  if (present(pg) && present(g)) return *pg != *g;
  if (!present(pg) && present(pm) && !present(m) && present(g)) return true;
  if (!present(pg) && present(pm) && present(m) && present(g)) return *pm != *m;
  if (present(pg) && !present(g) && present(m) && !present(pm) && present(a)) return true;
  if (present(g) || !present(pm)) return false;
  return present(a) && *a != *pm;
}

void MSRMeasurement::updatePersistedAppIDFromZMPAndRiVar() {
  auto identity = this->identity();
  if (identity) {
    auto zmp = identity->appIDFromZMP();
    if (zmp != persistedConfig_->appIDFromZMP()) persistedConfig_->setAppIDFromZMP(zmp);
    auto riVar = identity->appIDFromRiVar();
    if (riVar != persistedConfig_->appIDFromRiVar()) persistedConfig_->setAppIDFromRiVar(riVar);
  }
  std::string origin = MSRIdentifiers::sharedInstance()->origin();
  if (origin == "fa") {
    persistedConfig_->setAppIDFromZMP(appID_);
  } else if (origin == "am") {
    persistedConfig_->setAppIDFromRiVar(appID_);
  }
}

bool MSRMeasurement::wipeoutAnalyticsDataAndResetComponents() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("wipeoutAnalyticsDataAndResetComponents");
  auto log = monitor();
  log->logWithLevel(6, 23171, "Resetting App Measurement data");
  previousZMPAppID_ = persistedConfig_->appIDFromZMP();
  persistedConfig_->clearValues();
  log->clearMonitoringData();
  if (auto database = this->database()) {
    ns::Error error;
    if (!database->reset(&error)) {
      log->logWithLevel(1, 23209, "Failed to reset database", MSRLogContext(error));
      return false;
    }
    if (auto config = remoteConfigInstance()) config->reset();
  } else {
    std::string path = MSRApplicationSupportFilePath(databaseName_);
    ns::Error error;
    if (ns::FileManager::defaultManager().fileExists(path) && !MSRDeleteFileAtPath(path, &error)) {
      log->logWithLevel(1, 23014, "Failed to delete old database file. Error", MSRLogContext(error));
    }
  }
  if (auto identity = this->identity()) {
    identity->updateIdentifiersAndWait();
    identity->resetEphemeralAppInstanceID();
    identity->resetSessionStitchingToken();
  }
  return true;
}

bool MSRMeasurement::resetAnalyticsDataWithAppInstanceID(const std::string& appInstanceID) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("resetAnalyticsData");
  auto log = monitor();
  if (appInstanceID.empty()) {
    if (!MSRConsentSettingsUtil::isAnalyticsStorageDenied()) {
      log->logWithLevel(1, 23167, "Cannot reset with an empty app instance ID");
      return false;
    }
    log->logWithLevel(7, 23218, "Resetting with an empty app instance ID");
  }
  double loadTime = MSRAnalytics::loadTimestamp();
  bool result = false;
  scheduler_->dispatchSyncOnWorkerQueueBlockID("MSRMeasurement:3527", [&] {
    if (!wipeoutAnalyticsDataAndResetComponents()) return;
    persistedConfig_->setAppInstanceID(appInstanceID.empty() ? std::nullopt : std::optional(appInstanceID));
    updatePersistedAppIDFromZMPAndRiVar();
    log->logWithLevel(6, 23168, "Analytics data has been reset");
    if (!isAnalyticsCollectionDeactivated_ && !MSRAnalytics::deferredAnalyticsCollection()) {
      MSRAnalytics::setDeferredAnalyticsCollection(ns::Value(!enabled_.load()));
    }
    initTimestamp_ = loadTime;
    persistedConfig_->setLoadTimestampValue(ns::Value(loadTime));
    result = true;
  });
  return result;
}

std::shared_ptr<MSRIdentity> MSRMeasurement::identity() const {
  std::lock_guard lock(componentsMutex_);
  return identity_;
}

std::shared_ptr<MSRDatabase> MSRMeasurement::database() const {
  std::lock_guard lock(componentsMutex_);
  return database_;
}

std::shared_ptr<MSRRemoteConfig> MSRMeasurement::remoteConfigInstance() const {
  std::lock_guard lock(componentsMutex_);
  return remoteConfig_;
}

std::shared_ptr<MSRSearchAdReporter> MSRMeasurement::searchAdReporter() const {
  std::lock_guard lock(componentsMutex_);
  return searchAdReporter_;
}

void MSRMeasurement::ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                                             const std::optional<std::string>& message,
                                             const ZULNetworkLogContexts& contexts) {
  std::vector<MSRLogContext> converted;
  for (const auto& context : contexts) converted.emplace_back(ns::Value(context ? *context : std::string("(nil)")));
  monitor()->logWithLevel(monitorLevel(level), messageCode, message, converted);
}

void MSRMeasurement::ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                                             const std::optional<std::string>& message,
                                             const ZULNetworkLogContext& context) {
  ZULNetwork_logWithLevel(level, messageCode, message, context ? ZULNetworkLogContexts{context} : ZULNetworkLogContexts{});
}

void MSRMeasurement::ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                                             const std::optional<std::string>& message) {
  ZULNetwork_logWithLevel(level, messageCode, message, ZULNetworkLogContexts{});
}
