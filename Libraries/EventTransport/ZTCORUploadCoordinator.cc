#include "Libraries/EventTransport/ZTCORUploadCoordinator.h"

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"

std::shared_ptr<ZTCORUploadCoordinator> ZTCORUploadCoordinator::sharedInstance() {
  static const auto coordinator = std::make_shared<ZTCORUploadCoordinator>();
  return coordinator;
}

void ZTCORUploadCoordinator::forceUploadForTarget(ZTCORUploadTargetID target) {
  ZTCORLogDebug("Forcing an upload of target %ld", static_cast<long>(target));
}
