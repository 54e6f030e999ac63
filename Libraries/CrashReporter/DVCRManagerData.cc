#include "Libraries/CrashReporter/DVCRManagerData.h"

#include "Libraries/CrashReporter/DVCRApplication.h"

namespace {

std::shared_ptr<dispatch::OperationQueue> workQueueOn(const std::shared_ptr<dispatch::Queue>& queue) {
  auto operations = dispatch::OperationQueue::create(DVCRApplicationGetSDKBundleID() + ".work-queue");
  operations->setMaxConcurrentOperationCount(1);
  operations->setUnderlyingQueue(queue);
  return operations;
}

}  // namespace

DVCRManagerData::DVCRManagerData(std::string zororiAppID, std::shared_ptr<DIDARAVudavuzed> zororiTransport,
                                 std::shared_ptr<ZEVUdederozedaru> installations,
                                 std::shared_ptr<VOZIzizuzoveInterop> analytics,
                                 std::shared_ptr<DVCRFileManager> fileManager,
                                 std::shared_ptr<DVCRDataCollectionArbiter> dataArbiter,
                                 std::shared_ptr<DVCRSettings> settings,
                                 std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel)
    : zororiAppID(std::move(zororiAppID)),
      zororiTransport(std::move(zororiTransport)),
      installations(installations),
      analytics(std::move(analytics)),
      fileManager(std::move(fileManager)),
      dataArbiter(std::move(dataArbiter)),
      settings(std::move(settings)),
      appIDModel(std::move(appIDModel)),
      contextManager(std::make_shared<DVCRContextManager>()),
      installIDModel(std::make_shared<DVCRInstallIdentifierModel>(DVCRInstallationIDRequestOf(installations))),
      executionIDModel(std::make_shared<DVCRExecutionIdentifierModel>()),
      dispatchQueue(dispatch::Queue::serial(kDVCRStartupQueueLabel)),
      operationQueue(workQueueOn(dispatchQueue)) {}
