#include "Libraries/EventTransport/ZTCORTransportStartUp.h"

#include "Libraries/EventTransport/ZTCORApplication.h"
#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"
#include "Libraries/EventTransport/ZTCORLifecycle.h"
#include "Libraries/EventTransport/ZTCORMetricsController.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"

namespace {

void registerComponents() {
  auto registrar = ZTCORRegistrar::sharedInstance();
  // The uploader registers itself for 1000 to 1003 once it exists.
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

}  // namespace

void ZTCORTransportStartUp() {
  static const bool started = [] {
    registerComponents();
    return true;
  }();
  (void)started;
}

void ZTCORTransportRegisterComponentsForTesting() {
  ZTCORTransportStartUp();
  registerComponents();
  ZTCORRegistrar::sharedInstance()->registrarQueue()->sync([] {});
}
