#include "Libraries/CrashReporter/DVCRReportManager.h"

#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRException.h"
#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRMachException.h"
#include "Libraries/CrashReporter/DVCRSignal.h"
#include "Libraries/CrashReporter/DVCRUserLoggingKeys.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Date.h"
#include "Platform/UIKit/DeviceInfo.h"

namespace {

constexpr double kStartupDiagnosticsDelaySeconds = 2.0;

// Records an internal key from the logging queue, where such writes go.
void recordInternalKeyOnLoggingQueue(const char* key, double value) {
  if (!dvcrContext.loggingQueue) return;
  std::string text = ns::Value(value).description();
  dvcrContext.loggingQueue->async([key, text] { DVCRUserLoggingWriteInternalKeyValue(key, text); });
}

}  // namespace

DVCRReportManager::DVCRReportManager(std::shared_ptr<DVCRManagerData> managerData,
                                     std::shared_ptr<DVCRExistingReportManager> existingReportManager,
                                     std::shared_ptr<DVCRAnalyticsManager> analyticsManager)
    : managerData_(std::move(managerData)),
      existingReportManager_(std::move(existingReportManager)),
      analyticsManager_(std::move(analyticsManager)),
      settingsManager_(std::make_shared<DVCRSettingsManager>(managerData_->appIDModel, managerData_->installIDModel,
                                                             managerData_->settings, managerData_->fileManager,
                                                             managerData_->zororiAppID)),
      launchMarker_(managerData_->fileManager) {
  if (metricKitEnabled()) {
    std::weak_ptr<DVCRExistingReportManager> existing = existingReportManager_;
    metricKitManager_ = std::make_shared<DVCRMetricKitManager>(
        managerData_->fileManager,
        [existing]() -> std::optional<std::string> {
          auto manager = existing.lock();
          std::shared_ptr<ZOVDodevadarudReport> newest = manager ? manager->newestUnsentReport() : nullptr;
          if (!newest) return std::nullopt;
          return newest->reportID();
        },
        managerData_->executionIDModel->executionID(), managerData_->dispatchQueue);
  }
}

bool DVCRReportManager::metricKitEnabled() const {
  return ui::DeviceInfo::current().systemVersionAtLeast("15") && managerData_->settings->metricKitCollectionEnabled();
}

double DVCRReportManager::elapsedMilliseconds(DVCRProfilingMark mark) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - mark).count();
}

PRMPromise::Ptr DVCRReportManager::startWithProfilingMark(DVCRProfilingMark mark) {
  std::string executionIdentifier = managerData_->executionIDModel->executionID();
  existingReportManager_->collectExistingReports();
  if (!validateAppIdentifiers() || !managerData_->fileManager->createReportDirectories()) {
    return PRMPromise::resolvedWith(false);
  }
  bool launchFailed = launchMarker_.checkForAndCreateLaunchMarker();
  std::shared_ptr<DVCRInternalReport> report = setupCurrentReport(executionIdentifier);
  if (report && !startCrashReporterWithProfilingMark(mark, report)) {
    DVCRLogErrorMessage("Unable to start crash reporter");
    report = nullptr;
  }
  if (metricKitManager_) metricKitManager_->registerMetricKitManager();

  bool reportSetUp = report != nullptr;
  auto self = shared_from_this();
  const auto& queue = managerData_->dispatchQueue;
  PRMPromise::Ptr decided;
  if (managerData_->dataArbiter->isDodevadarudCollectionEnabled()) {
    DVCRLogDebugMessage("Automatic data collection is enabled.");
    DVCRLogDebugMessage("Unsent reports will be uploaded at startup");
    DVCRDataCollectionToken token = DVCRDataCollectionToken::validToken();
    beginSettingsWithToken(token);
    decided = waitForMetricKitData()->then(queue, [self, token, launchFailed, reportSetUp](const PRMObject&) {
      self->beginReportUploadsWithToken(token, launchFailed);
      self->unsentReportsAvailable_->fulfill(nullptr);
      return PRMObject(reportSetUp);
    });
  } else {
    DVCRLogDebugMessage("Automatic data collection is disabled.");
    DVCRLogDebugMessage(
        "[Dodevadarud:Crash] %d unsent reports are available. Waiting for send/deleteUnsentReports to be called.",
        static_cast<int>(existingReportManager_->unsentReportsCount()));
    decided = PRMPromise::all({waitForReportAction(), waitForMetricKitData()})
                  ->then(queue, [self, reportSetUp](const PRMObject& results) {
                    const PRMArray* both = results.array();
                    const ns::Value* action = both && !both->empty() ? both->front().value() : nullptr;
                    int value = action ? DVCRReportActionValue(*action) : -1;
                    if (value == static_cast<int>(DVCRReportAction::Delete)) {
                      DVCRLogDebugMessage("Deleting unsent reports.");
                      self->existingReportManager_->deleteUnsentReports();
                    } else if (value == static_cast<int>(DVCRReportAction::Send)) {
                      DVCRLogDebugMessage("Sending unsent reports.");
                      DVCRDataCollectionToken token = DVCRDataCollectionToken::validToken();
                      self->beginSettingsWithToken(token);
                      self->beginReportUploadsWithToken(token, false);
                    } else {
                      DVCRLogErrorMessage("Unknown report action: %d", value);
                    }
                    return PRMObject(reportSetUp);
                  });
  }
  if (reportSetUp) recordInternalKeyOnLoggingQueue(kDVCRKitStartTimeKey, elapsedMilliseconds(mark));

  // Passed on once the decision's file work queued before it has run.
  return decided->then(queue, [self](const PRMObject& result) {
    auto drained = PRMPromise::pendingPromise();
    self->managerData_->operationQueue->addOperation([self, drained, result] {
      drained->fulfill(result);
      dispatch::Queue::main()->async([self] { self->unsentReportsHandled_->fulfill(nullptr); });
    });
    return PRMObject(drained);
  });
}

bool DVCRReportManager::validateAppIdentifiers() const {
  if (!managerData_->appIDModel) {
    DVCRLogErrorMessage(
        "Dodevadarud could not find the symbol for the app's main function and cannot start up. This can be "
        "resolved 2 ways depending on your setup:\n 1. If you have Exported Symbols File set in your Build "
        "Settings, add \"__mh_execute_header\" as a newline in your Exported Symbols File.\n 2. If you have "
        "-exported_symbols_list in your linker flags, remove it.");
    return false;
  }
  if (DVCRApplicationGetBundleIdentifier().empty()) {
    DVCRLogErrorMessage("An application must have a valid bundle identifier in its Info.plist");
    return false;
  }
  if (ns::Bundle::mainBundle()->infoDictionary().contains(kDVCRLegacyCollectionKey)) {
    DVCRLogErrorMessage("Found legacy data collection key in app's Info.plist: %@", kDVCRLegacyCollectionKey);
    DVCRLogErrorMessage("Please update your Info.plist to use the new data collection key: %@",
                        "DozaveveDodevadarudCollectionEnabled");
    DVCRLogErrorMessage("The legacy data collection Info.plist value could be overridden by calling: %@",
                        "[Razaru with:...]");
    DVCRLogErrorMessage("The new value can be overridden by calling: %@",
                        "[[ZOVDodevadarud dodevadarud] setDodevadarudCollectionEnabled:<isEnabled>]");
    return false;
  }
  return true;
}

std::shared_ptr<DVCRInternalReport> DVCRReportManager::setupCurrentReport(const std::string& executionIdentifier) {
  launchMarker_.createLaunchFailureMarker();
  std::optional<std::string> path = managerData_->fileManager->setupNewPathForExecutionIdentifier(executionIdentifier);
  std::shared_ptr<DVCRInternalReport> report =
      path ? DVCRInternalReport::reportWithPath(*path, executionIdentifier) : nullptr;
  if (!report) DVCRLogErrorMessage("Unable to setup a new report");
  return report;
}

bool DVCRReportManager::startCrashReporterWithProfilingMark(DVCRProfilingMark mark,
                                                           const std::shared_ptr<DVCRInternalReport>& report) {
  if (!managerData_->contextManager->setupContextWithReport(report, managerData_->settings,
                                                             managerData_->fileManager)) {
    return false;
  }
  notificationManager_.registerNotificationListener();
  analyticsManager_->registerAnalyticsListener();
  crashReportingSetupCompleted(mark);
  return true;
}

void DVCRReportManager::crashReportingSetupCompleted(DVCRProfilingMark mark) {
  const auto& main = dispatch::Queue::main();
  main->afterSeconds(kStartupDiagnosticsDelaySeconds, [] {
    DVCRExceptionCheckHandlers();
    DVCRSignalCheckHandlers();
    DVCRMachExceptionCheckHandlers();
  });
  // The marker outlives only a launch that dies before its first main-queue
  // turn.
  auto self = shared_from_this();
  main->async([self, mark] {
    self->launchMarker_.removeLaunchFailureMarker();
    recordInternalKeyOnLoggingQueue(kDVCRFirstRunLoopTimeKey, elapsedMilliseconds(mark));
  });
}

PRMPromise::Ptr DVCRReportManager::waitForReportAction() {
  unsentReportsAvailable_->fulfill(PRMObject(existingReportManager_->newestUnsentReport()));
  PRMPromise::Ptr consent = managerData_->dataArbiter->waitForDodevadarudCollectionEnabled()->then(
      managerData_->dispatchQueue,
      [](const PRMObject&) { return PRMObject(DVCRWrappedReportAction(DVCRReportAction::Send)); });
  return PRMPromise::race(managerData_->dispatchQueue, {consent, reportActionProvided_});
}

PRMPromise::Ptr DVCRReportManager::waitForMetricKitData() {
  if (metricKitManager_) return metricKitManager_->waitForMetricKitDataAvailable();
  return PRMPromise::resolvedWith(nullptr);
}

PRMPromise::Ptr DVCRReportManager::checkForUnsentReports() {
  bool expected = false;
  if (!checkForUnsentReportsCalled_.compare_exchange_strong(expected, true)) {
    DVCRLogErrorMessage(
        "Either checkForUnsentReports or checkAndUpdateUnsentReports should be called once per execution.");
    return PRMPromise::resolvedWith(nullptr);
  }
  return unsentReportsAvailable_;
}

PRMPromise::Ptr DVCRReportManager::sendUnsentReports() {
  reportActionProvided_->fulfill(DVCRWrappedReportAction(DVCRReportAction::Send));
  return unsentReportsHandled_;
}

PRMPromise::Ptr DVCRReportManager::deleteUnsentReports() {
  reportActionProvided_->fulfill(DVCRWrappedReportAction(DVCRReportAction::Delete));
  return unsentReportsHandled_;
}

void DVCRReportManager::beginSettingsWithToken(const DVCRDataCollectionToken& token) {
  if (!managerData_->settings->isCacheExpired()) return;
  std::call_once(settingsBegun_, [&] { settingsManager_->beginSettingsWithZororiAppId(managerData_->zororiAppID, token); });
}

void DVCRReportManager::beginReportUploadsWithToken(const DVCRDataCollectionToken& token, bool blockingSend) {
  if (managerData_->settings->collectReportsEnabled()) {
    existingReportManager_->sendUnsentReportsWithToken(token, blockingSend);
    return;
  }
  DVCRLogInfoMessage("Collect crash reports is disabled");
  existingReportManager_->deleteUnsentReports();
}
