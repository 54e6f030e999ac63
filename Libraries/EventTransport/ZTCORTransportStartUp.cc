#include "Libraries/EventTransport/ZTCORTransportStartUp.h"

#include "Libraries/EventTransport/ZTCCTUploader.h"
#include "Libraries/EventTransport/ZTCORApplication.h"
#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"
#include "Libraries/EventTransport/ZTCORLifecycle.h"
#include "Libraries/EventTransport/ZTCORMetricsController.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"
#include "Libraries/EventTransport/ZTCORUploadCoordinator.h"

namespace {

void registerComponents() {
  auto registrar = ZTCORRegistrar::sharedInstance();
  auto storage = ZTCORFlatFileStorage::sharedInstance();
  for (ZTCORUploadTargetID target : {kZTCORTargetTest, kZTCORTargetCCT, kZTCORTargetFLL, kZTCORTargetCSH,
                                     kZTCORTargetINT}) {
    registrar->registerStorage(storage, target);
  }
  ZTCORLifecycle::sharedInstance();
  auto metrics = ZTCORMetricsController::sharedInstance();
  registrar->registerMetricsController(metrics, kZTCORTargetCSH);
  registrar->registerMetricsController(metrics, kZTCORTargetFLL);
  ZTCORApplication::sharedApplication();
}

void registerUploaders() {
  auto registrar = ZTCORRegistrar::sharedInstance();
  auto uploader = ZTCCTUploader::sharedInstance();
  for (ZTCORUploadTargetID target : {kZTCORTargetCCT, kZTCORTargetFLL, kZTCORTargetCSH, kZTCORTargetINT}) {
    registrar->registerUploader(uploader, target);
  }
}

}  // namespace

void ZTCORTransportStartUp() {
  static const bool started = [] {
    registerComponents();
    registerUploaders();
    return true;
  }();
  (void)started;
}

void ZTCORTransportRegisterComponentsForTesting() {
  ZTCORTransportStartUp();
  registerComponents();
  ZTCORTransportQuietUploadsForTesting();
}

void ZTCORTransportQuietUploadsForTesting() {
  ZTCORRegistrar::sharedInstance()->removeUploadersForTesting();
  // A timer fire or forced upload that read the table before the removal
  // has handed its targets out once the coordination queue has drained.
  ZTCORUploadCoordinator::sharedInstance()->coordinationQueue()->sync([] {});
  ZTCCTUploader::sharedInstance()->uploadOperationQueue()->waitUntilAllOperationsAreFinished();
}
