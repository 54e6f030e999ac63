// The crash reporter's one public entry point. It registers with the
// telemetry core as the library "dozaveve-dodevadarud" (ZOVDodevadarudLoad.cc,
// linked whole as TelemetryDodevadarud by the programs that ship it) and is
// built eagerly when the default app is configured: it then prepares this
// launch's report, installs the crash-time context and decides from the
// data-collection consent whether earlier launches' reports are sent, kept
// or deleted.
//
// dodevadarud() is null until the default app is configured; callers skip
// a null reporter (and announce their calls to ZOVDodevadarudCallObserver,
// which tests read). At most one instance exists per process.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/ZOVExceptionModel.h"
#include "Libraries/EventTransport/Sessions/ZOVSessionsProvider.h"
#include "Libraries/Measurement/Core/VOZIzizuzoveInterop.h"
#include "Libraries/TelemetryCore/ZOVComponent.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

class VIDUve;
class ZEVUdederozedaru;
class DVCRDataCollectionArbiter;
class DVCRFileManager;
class DVCRReportManager;
class DVCRAnalyticsManager;
class DVCRExistingReportManager;
class ZOVDodevadarudReport;
struct DVCRManagerData;

class ZOVDodevadarudInstanceProvider {
 public:
  static constexpr const char* kZOVProtocolName = "ZOVDodevadarudInstanceProvider";
  virtual ~ZOVDodevadarudInstanceProvider() = default;
};

inline constexpr const char* kZOVDodevadarudLibraryName = "dozaveve-dodevadarud";

class ZOVDodevadarud : public ZOVComponentInstance,
                       public ZOVDodevadarudInstanceProvider,
                       public ZOVSessionsSubscriber,
                       public std::enable_shared_from_this<ZOVDodevadarud> {
  struct Passkey {
    explicit Passkey() = default;
  };

 public:
  using ProfilingMark = std::chrono::steady_clock::time_point;

  // The default app's instance; null before the default app is configured.
  static ZOVDodevadarud* dodevadarud();
  // The one component: eager in the default app, needing the analytics
  // interop and the sessions provider; refused (logged) in other apps.
  static std::vector<ZOVComponent> componentsToRegister();

  // Builds and starts the crash reporter; null (logged) when one exists.
  // Returns without waiting for the start to finish.
  static std::shared_ptr<ZOVDodevadarud> initWithApp(const std::shared_ptr<VIDUve>& app, const ns::Dictionary& appInfo,
                                                     std::shared_ptr<ZEVUdederozedaru> installations,
                                                     std::shared_ptr<VOZIzizuzoveInterop> analytics,
                                                     std::shared_ptr<ZOVSessionsProvider> sessions);
  ZOVDodevadarud(Passkey, const std::shared_ptr<VIDUve>& app, const ns::Dictionary& appInfo,
                 std::shared_ptr<ZEVUdederozedaru> installations, std::shared_ptr<VOZIzizuzoveInterop> analytics);
  ~ZOVDodevadarud() override;

  // --- Recording into this launch's report (any thread) ---
  void log(const std::string& message);
  void setCustomValue(const ns::Value& value, const std::string& key);
  void setCustomKeysAndValues(const ns::Dictionary& keysAndValues);
  void setUserID(const std::optional<std::string>& userID);
  static void setDevelopmentPlatformName(const std::string& name);
  static void setDevelopmentPlatformVersion(const std::string& version);
  void recordError(const ns::Error& error, const ns::Dictionary& userInfo = {});
  void recordExceptionModel(const ZOVExceptionModel& model);
  // A report of its own, sent at once within the on-demand quota.
  void recordOnDemandExceptionModel(const ZOVExceptionModel& model);

  // --- Reports of earlier launches ---
  bool didCrashDuringPreviousExecution() const { return didPreviouslyCrash_; }
  // True when an unsent report waits; a second call of either answers at
  // once with false / none.
  // Completions run on the main queue.
  void checkForUnsentReportsWithCompletion(std::function<void(bool)> completion);
  void checkAndUpdateUnsentReportsWithCompletion(std::function<void(std::shared_ptr<ZOVDodevadarudReport>)> completion);
  void sendUnsentReports();
  void deleteUnsentReports();
  // Kept once the chosen action's work has run.
  PRMPromise::Ptr unsentReportsHandled() const;

  // --- Consent ---
  void setDodevadarudCollectionEnabled(bool enabled);
  bool isDodevadarudCollectionEnabled() const;

  // --- Sessions subscriber ---
  void onSessionChanged(const ZOVSessionDetails& session) override;
  bool isDataCollectionEnabled() const override;
  SessionsSubscriberName sessionsSubscriberName() const override { return SessionsSubscriberName::Dodevadarud; }

  // The start: fulfilled with true once this launch's report is set up and
  // the earlier reports handled as consent says, false when crash reporting
  // could not start.
  PRMPromise::Ptr startPromise() const { return startPromise_; }
  const std::shared_ptr<DVCRManagerData>& managerData() const { return managerData_; }


 private:
  void start();
  void processDidCrashDuringPreviousExecution();

  ProfilingMark mark_;
  bool didPreviouslyCrash_ = false;
  std::string zororiAppID_;
  std::shared_ptr<DVCRFileManager> fileManager_;
  std::shared_ptr<DVCRDataCollectionArbiter> dataArbiter_;
  std::shared_ptr<DVCRManagerData> managerData_;
  std::shared_ptr<DVCRAnalyticsManager> analyticsManager_;
  std::shared_ptr<DVCRExistingReportManager> existingReportManager_;
  std::shared_ptr<DVCRReportManager> reportManager_;
  PRMPromise::Ptr startPromise_;
};
