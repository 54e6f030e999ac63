// This launch's start-up of crash reporting and the fate of earlier
// launches' reports. Start-up collects the earlier reports before this
// launch's folder exists, sets up this launch's report and the crash-time
// context, then follows the consent: collection on sends what waits at
// once; collection off keeps it until the app sends or deletes it, or turns
// collection on. Nothing leaves before the system's diagnostics for it are
// written (the MetricKit promise).
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

#include "Libraries/CrashReporter/DVCRAnalyticsManager.h"
#include "Libraries/CrashReporter/DVCRExistingReportManager.h"
#include "Libraries/CrashReporter/DVCRLaunchMarkerModel.h"
#include "Libraries/CrashReporter/DVCRManagerData.h"
#include "Libraries/CrashReporter/DVCRMetricKitManager.h"
#include "Libraries/CrashReporter/DVCRNotificationManager.h"
#include "Libraries/CrashReporter/DVCRSettingsManager.h"
#include "Libraries/CrashReporter/DVCRValueTypes.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"

using DVCRProfilingMark = std::chrono::steady_clock::time_point;

inline constexpr const char* kDVCRKitStartTimeKey = "com.dodevadarud.kit-start-time";
inline constexpr const char* kDVCRFirstRunLoopTimeKey = "com.dodevadarud.first-run-loop-time";
inline constexpr const char* kDVCRLegacyCollectionKey = "dozaveve_dodevadarud_collection_enabled";

class DVCRReportManager : public std::enable_shared_from_this<DVCRReportManager> {
 public:
  DVCRReportManager(std::shared_ptr<DVCRManagerData> managerData,
                    std::shared_ptr<DVCRExistingReportManager> existingReportManager,
                    std::shared_ptr<DVCRAnalyticsManager> analyticsManager);

  // Fulfilled with true once this launch's report is set up and the earlier
  // reports handled, false when crash reporting cannot start.
  PRMPromise::Ptr startWithProfilingMark(DVCRProfilingMark mark);

  // The first call: the newest unsent report (or none) once known; later
  // calls: none at once (logged).
  PRMPromise::Ptr checkForUnsentReports();
  // The first of these two, or consent turned on, decides; each returns the
  // promise kept once the decision's work has run.
  PRMPromise::Ptr sendUnsentReports();
  PRMPromise::Ptr deleteUnsentReports();
  PRMPromise::Ptr unsentReportsHandled() const { return unsentReportsHandled_; }

  // Milliseconds since `mark` on the monotonic clock.
  static double elapsedMilliseconds(DVCRProfilingMark mark);

 private:
  bool validateAppIdentifiers() const;
  std::shared_ptr<DVCRInternalReport> setupCurrentReport(const std::string& executionIdentifier);
  bool startCrashReporterWithProfilingMark(DVCRProfilingMark mark, const std::shared_ptr<DVCRInternalReport>& report);
  void crashReportingSetupCompleted(DVCRProfilingMark mark);
  PRMPromise::Ptr waitForReportAction();
  PRMPromise::Ptr waitForMetricKitData();
  void beginSettingsWithToken(const DVCRDataCollectionToken& token);
  void beginReportUploadsWithToken(const DVCRDataCollectionToken& token, bool blockingSend);
  bool metricKitEnabled() const;

  std::shared_ptr<DVCRManagerData> managerData_;
  std::shared_ptr<DVCRExistingReportManager> existingReportManager_;
  std::shared_ptr<DVCRAnalyticsManager> analyticsManager_;
  std::shared_ptr<DVCRSettingsManager> settingsManager_;
  DVCRNotificationManager notificationManager_;
  std::shared_ptr<DVCRMetricKitManager> metricKitManager_;
  DVCRLaunchMarkerModel launchMarker_;

  PRMPromise::Ptr unsentReportsAvailable_ = PRMPromise::pendingPromise();
  PRMPromise::Ptr reportActionProvided_ = PRMPromise::pendingPromise();
  PRMPromise::Ptr unsentReportsHandled_ = PRMPromise::pendingPromise();
  std::atomic<bool> checkForUnsentReportsCalled_{false};
  std::once_flag settingsBegun_;
};
