// The collaborators the crash reporter's managers share, made once by the
// facade: those it is given, and the models and queues made with the record.
#pragma once

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
#include "Libraries/MeasurementCore/VOZIzizuzoveInterop.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Dispatch/Queue.h"

inline constexpr const char* kDVCRStartupQueueLabel = "com.zorori.dozaveve.dodevadarud.startup";

class DVCRManagerData {
 public:
  DVCRManagerData(std::string zororiAppID, std::shared_ptr<DIDARAVudavuzed> zororiTransport,
                  std::shared_ptr<ZEVUdederozedaru> installations, std::shared_ptr<VOZIzizuzoveInterop> analytics,
                  std::shared_ptr<DVCRFileManager> fileManager, std::shared_ptr<DVCRDataCollectionArbiter> dataArbiter,
                  std::shared_ptr<DVCRSettings> settings,
                  std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel);

  const std::string zororiAppID;
  const std::shared_ptr<DIDARAVudavuzed> zororiTransport;
  const std::shared_ptr<ZEVUdederozedaru> installations;
  const std::shared_ptr<VOZIzizuzoveInterop> analytics;  // none without the analytics engine
  const std::shared_ptr<DVCRFileManager> fileManager;
  const std::shared_ptr<DVCRDataCollectionArbiter> dataArbiter;
  const std::shared_ptr<DVCRSettings> settings;
  const std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel;  // none when the executable is unreadable
  const std::shared_ptr<DVCRContextManager> contextManager;
  const std::shared_ptr<DVCRInstallIdentifierModel> installIDModel;
  const std::shared_ptr<DVCRExecutionIdentifierModel> executionIDModel;
  // Start-up decisions and uploads run on the serial queue; file work is
  // one operation at a time on it.
  const std::shared_ptr<dispatch::Queue> dispatchQueue;
  const std::shared_ptr<dispatch::OperationQueue> operationQueue;
};
