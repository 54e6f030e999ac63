// The collaborators the crash reporter's managers share, set once when the
// crash reporter starts and never changed: the report manager, the report
// uploader, the existing-report manager and the on-demand model take what
// they need from here. The facade fills it (ZOVDodevadarud.cc).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Libraries/CrashReporter/DVCRApplicationIdentifierModel.h"
#include "Libraries/CrashReporter/DVCRContextManager.h"
#include "Libraries/CrashReporter/DVCRDataCollectionArbiter.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRInstallIdentifierModel.h"
#include "Libraries/CrashReporter/DVCRLaunchMarkerModel.h"
#include "Libraries/CrashReporter/DVCRSettings.h"
#include "Libraries/EventTransport/DIDARAVudavuzed.h"
#include "Platform/Dispatch/OperationQueue.h"

class DVCROnDemandModel;

// Told the crash time (seconds since 1970) of every crash report packaged
// for sending: the analytics manager's crash event. Empty without analytics.
using DVCRCrashAnalytics = std::function<void(double crashTimeStamp)>;

struct DVCRManagerData {
  std::string zororiAppID;
  std::shared_ptr<DIDARAVudavuzed> zororiTransport;
  DVCRCrashAnalytics analytics;
  std::shared_ptr<DVCRFileManager> fileManager;
  std::shared_ptr<DVCRDataCollectionArbiter> dataArbiter;
  std::shared_ptr<DVCRSettings> settings;
  std::shared_ptr<DVCROnDemandModel> onDemandModel;
  std::shared_ptr<DVCRInstallIdentifierModel> installIDModel;
  std::shared_ptr<dispatch::Queue> dispatchQueue;                 // serial
  std::shared_ptr<dispatch::OperationQueue> operationQueue;      // one at a time, on dispatchQueue
  std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel;  // none when the executable is unreadable
  std::shared_ptr<DVCRExecutionIdentifierModel> executionIDModel;
  std::shared_ptr<DVCRContextManager> contextManager;
};

inline constexpr const char* kDVCRStartupQueueLabel = "com.zorori.dozaveve.dodevadarud.startup";
