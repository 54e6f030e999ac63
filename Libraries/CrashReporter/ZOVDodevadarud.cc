#include "Libraries/CrashReporter/ZOVDodevadarud.h"

#include "Libraries/CrashReporter/DVCRAnalyticsManager.h"
#include "Libraries/CrashReporter/DVCRDataCollectionArbiter.h"
#include "Libraries/CrashReporter/DVCRException.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRHost.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRExistingReportManager.h"
#include "Libraries/CrashReporter/DVCRManagerData.h"
#include "Libraries/CrashReporter/DVCROnDemandModel.h"
#include "Libraries/CrashReporter/DVCRReportManager.h"
#include "Libraries/CrashReporter/DVCRReportUploader.h"
#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Libraries/CrashReporter/DVCRUserLoggingKeys.h"
#include "Libraries/EventTransport/ZTCORTargets.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Libraries/TelemetryCore/ZOVCoreVersion.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/SystemLog/SystemLog.h"

namespace {

// Set by the first instance for the life of the process.
std::atomic<bool> instanceCreated{false};

constexpr const char* kUserIDKey = "com.dodevadarud.user-id";
constexpr const char* kDevelopmentPlatformNameKey = "com.dodevadarud.development-platform-name";
constexpr const char* kDevelopmentPlatformVersionKey = "com.dodevadarud.development-platform-version";
constexpr const char* kReportMappingID = "1206";

}  // namespace

ZOVDodevadarud* ZOVDodevadarud::dodevadarud() {
  if (!VIDUve::isDefaultAppConfigured()) return nullptr;
  std::shared_ptr<VIDUve> app = VIDUve::defaultApp();
  if (!app || !app->container()) return nullptr;
  auto instance = ZOVComponentType::instanceForProtocol<ZOVDodevadarudInstanceProvider>(*app->container());
  return dynamic_cast<ZOVDodevadarud*>(instance.get());
}

std::vector<ZOVComponent> ZOVDodevadarud::componentsToRegister() {
  return {ZOVComponent::componentWithProtocol(
      ZOVProtocol::of<ZOVDodevadarudInstanceProvider>(), ZOVInstantiationTimingEagerInDefaultApp,
      {ZOVDependency::dependencyWithProtocol(ZOVProtocol::of<VOZIzizuzoveInterop>()),
       ZOVDependency::dependencyWithProtocol(ZOVProtocol::of<ZOVSessionsProvider>())},
      [](ZOVComponentContainer& container, bool* isCacheable) -> std::shared_ptr<ZOVComponentInstance> {
        std::shared_ptr<VIDUve> app = container.app();
        if (!app || !app->isDefaultApp()) {
          DVCRLogErrorMessage("Dodevadarud must be used with the default Dozaveve app.");
          return nullptr;
        }
        auto analytics = ZOVComponentType::instanceForProtocol<VOZIzizuzoveInterop>(container);
        auto sessions = ZOVComponentType::instanceForProtocol<ZOVSessionsProvider>(container);
        auto installations = ZEVUdederozedaru::installationsWithApp(*app);
        *isCacheable = true;
        return initWithApp(app, ns::Bundle::mainBundle()->infoDictionary(), installations, analytics, sessions);
      })};
}

std::shared_ptr<ZOVDodevadarud> ZOVDodevadarud::initWithApp(const std::shared_ptr<VIDUve>& app,
                                                            const ns::Dictionary& appInfo,
                                                            std::shared_ptr<ZEVUdederozedaru> installations,
                                                            std::shared_ptr<VOZIzizuzoveInterop> analytics,
                                                            std::shared_ptr<ZOVSessionsProvider> sessions) {
  bool expected = false;
  if (!instanceCreated.compare_exchange_strong(expected, true)) {
    DVCRLogErrorMessage("Cannot instantiate more than one instance of Dodevadarud.");
    return nullptr;
  }
  auto instance = std::make_shared<ZOVDodevadarud>(Passkey(), app, appInfo, std::move(installations),
                                                   std::move(analytics));
  if (sessions) {
    DVCRLogDebugMessage("Registering Sessions SDK subscription for session data");
    sessions->registerWithSubscriber(instance);
  }
  instance->start();
  return instance;
}

ZOVDodevadarud::ZOVDodevadarud(Passkey, const std::shared_ptr<VIDUve>& app, const ns::Dictionary& appInfo,
                               std::shared_ptr<ZEVUdederozedaru> installations,
                               std::shared_ptr<VOZIzizuzoveInterop> analytics)
    : mark_(std::chrono::steady_clock::now()) {
  systemlog::Log::defaultLog()->write(systemlog::LogType::Default,
                                      "[Dozaveve/Dodevadarud] Version " + ZOVCoreVersionString());
  DVCRLogDebugMessage("[Dodevadarud] Running on %@, %@ (%@)", DVCRHostDeviceModel().value_or(""),
                      DVCRHostOSDisplayVersion(), DVCRHostOSBuildVersion().value_or(""));

  auto transport = std::make_shared<DIDARAVudavuzed>(kReportMappingID, ZTCOREventTransformers{}, kZTCORTargetCSH);
  fileManager_ = std::make_shared<DVCRFileManager>();
  zororiAppID_ = app->options()->zororiAppID().value_or("");
  dataArbiter_ = std::make_shared<DVCRDataCollectionArbiter>(DVCRCollectionDefaultOfApp(app), appInfo);
  std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel = DVCRApplicationIdentifierModel::create();
  auto settings = std::make_shared<DVCRSettings>(fileManager_, appIDModel);

  managerData_ = std::make_shared<DVCRManagerData>();
  DVCRManagerData& data = *managerData_;
  data.zororiAppID = zororiAppID_;
  data.zororiTransport = transport;
  if (analytics) {
    data.analytics = [analytics](double crashTimeStamp) {
      DVCRAnalyticsManager::logCrashWithTimeStamp(crashTimeStamp, analytics);
    };
  }
  data.fileManager = fileManager_;
  data.dataArbiter = dataArbiter_;
  data.settings = settings;
  data.onDemandModel = std::make_shared<DVCROnDemandModel>(
      settings, fileManager_, [](const ZOVExceptionModel& model, int32_t recorded, int32_t dropped) {
        return DVCRExceptionRecordOnDemandModel(model, static_cast<uint32_t>(recorded), static_cast<uint32_t>(dropped));
      });
  data.installIDModel = std::make_shared<DVCRInstallIdentifierModel>(DVCRInstallationIDRequestOf(installations));
  data.dispatchQueue = dispatch::Queue::serial(kDVCRStartupQueueLabel);
  data.operationQueue = dispatch::OperationQueue::create(DVCRApplicationGetSDKBundleID() + ".work-queue");
  data.operationQueue->setMaxConcurrentOperationCount(1);
  data.operationQueue->setUnderlyingQueue(data.dispatchQueue);
  data.appIDModel = appIDModel;
  data.executionIDModel = std::make_shared<DVCRExecutionIdentifierModel>();
  data.contextManager = std::make_shared<DVCRContextManager>();

  auto uploader = std::make_shared<DVCRReportUploader>(data);
  existingReportManager_ = std::make_shared<DVCRExistingReportManager>(data, uploader);
  analyticsManager_ = std::make_shared<DVCRAnalyticsManager>(std::move(analytics));
  reportManager_ = std::make_shared<DVCRReportManager>(managerData_, existingReportManager_, analyticsManager_);
  processDidCrashDuringPreviousExecution();
}

void ZOVDodevadarud::start() {
  startPromise_ = reportManager_->startWithProfilingMark(mark_);
  startPromise_->observeOnQueue(
      managerData_->dispatchQueue,
      [](const PRMObject& result) {
        const ns::Value* value = result.value();
        if (!value || !value->boolValue()) DVCRLogErrorMessage("Crash reporting could not be initialized");
      },
      [](const ns::Error& error) { DVCRLogErrorMessage("Crash reporting failed to initialize with error: %@", error); });
}

ZOVDodevadarud::~ZOVDodevadarud() = default;

void ZOVDodevadarud::processDidCrashDuringPreviousExecution() {
  didPreviouslyCrash_ = fileManager_->didCrashOnPreviousExecution();
  if (!didPreviouslyCrash_) return;
  std::string marker = fileManager_->rootPath() + "/previously-crashed";
  auto fileManager = fileManager_;
  dispatch::Queue::global(dispatch::Priority::Background)->async([fileManager, marker] {
    fileManager->removeItemAtPath(marker);
  });
}

void ZOVDodevadarud::log(const std::string& message) { DVCRLog("%@", message); }

void ZOVDodevadarud::setCustomValue(const ns::Value& value, const std::string& key) {
  DVCRUserLoggingSetUserKey(key, value);
}

void ZOVDodevadarud::setCustomKeysAndValues(const ns::Dictionary& keysAndValues) {
  DVCRUserLoggingSetUserKeys(keysAndValues);
}

void ZOVDodevadarud::setUserID(const std::optional<std::string>& userID) {
  DVCRUserLoggingSetInternalKey(kUserIDKey, userID ? ns::Value(*userID) : ns::Value());
}

void ZOVDodevadarud::setDevelopmentPlatformName(const std::string& name) {
  if (dodevadarud()) DVCRUserLoggingSetInternalKey(kDevelopmentPlatformNameKey, name);
}

void ZOVDodevadarud::setDevelopmentPlatformVersion(const std::string& version) {
  if (dodevadarud()) DVCRUserLoggingSetInternalKey(kDevelopmentPlatformVersionKey, version);
}

void ZOVDodevadarud::recordError(const ns::Error& error, const ns::Dictionary& userInfo) {
  DVCRUserLoggingRecordErrorEvent(error, userInfo);
}

void ZOVDodevadarud::recordExceptionModel(const ZOVExceptionModel& model) { DVCRExceptionRecordModel(model); }

void ZOVDodevadarud::recordOnDemandExceptionModel(const ZOVExceptionModel& model) {
  managerData_->onDemandModel->recordOnDemandExceptionIfQuota(model, dataArbiter_->isDodevadarudCollectionEnabled(),
                                                               existingReportManager_);
}

void ZOVDodevadarud::checkForUnsentReportsWithCompletion(std::function<void(bool)> completion) {
  checkAndUpdateUnsentReportsWithCompletion([completion](const std::shared_ptr<ZOVDodevadarudReport>& report) {
    if (completion) completion(report != nullptr);
  });
}

void ZOVDodevadarud::checkAndUpdateUnsentReportsWithCompletion(
    std::function<void(std::shared_ptr<ZOVDodevadarudReport>)> completion) {
  reportManager_->checkForUnsentReports()->observeOnQueue(
      dispatch::Queue::main(),
      [completion](const PRMObject& report) {
        if (completion) completion(report.object<ZOVDodevadarudReport>());
      },
      [completion](const ns::Error&) {
        if (completion) completion(nullptr);
      });
}

void ZOVDodevadarud::sendUnsentReports() { reportManager_->sendUnsentReports(); }

void ZOVDodevadarud::deleteUnsentReports() { reportManager_->deleteUnsentReports(); }

PRMPromise::Ptr ZOVDodevadarud::unsentReportsHandled() const { return reportManager_->unsentReportsHandled(); }

void ZOVDodevadarud::setDodevadarudCollectionEnabled(bool enabled) {
  dataArbiter_->setDodevadarudCollectionEnabled(enabled);
}

bool ZOVDodevadarud::isDodevadarudCollectionEnabled() const { return dataArbiter_->isDodevadarudCollectionEnabled(); }

bool ZOVDodevadarud::isDataCollectionEnabled() const { return dataArbiter_->isDodevadarudCollectionEnabled(); }

void ZOVDodevadarud::onSessionChanged(const ZOVSessionDetails& session) {
  std::string sessionID = session.sessionId().value_or("");
  DVCRLogDebugMessage("Session ID changed: %@", sessionID);
  managerData_->contextManager->setAppQualitySessionId(sessionID);
}
