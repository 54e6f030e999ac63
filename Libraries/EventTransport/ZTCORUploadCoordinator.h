// The upload coordinator: decides when each target's events are uploaded.
//
// Seam: today it only logs the forced upload the store asks for after an
// event of the fast tier; the coordinator's own work (timer, conditions,
// uploads) replaces the body behind these same signatures.
#pragma once

#include <memory>

#include "Libraries/EventTransport/ZTCORTargets.h"

class ZTCORUploadCoordinator {
 public:
  virtual ~ZTCORUploadCoordinator() = default;
  static std::shared_ptr<ZTCORUploadCoordinator> sharedInstance();

  // Uploads the target now, with the high-priority condition.
  virtual void forceUploadForTarget(ZTCORUploadTargetID target);
};
