// What an upload operation asks of its uploader: the time before which a
// target must wait, and the key a target's requests carry.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/EventTransport/ZTCORClock.h"
#include "Libraries/EventTransport/ZTCORTargets.h"

class ZTCCTUploadMetadataProvider {
 public:
  virtual ~ZTCCTUploadMetadataProvider() = default;
  virtual std::shared_ptr<ZTCORClock> nextUploadTimeForTarget(ZTCORUploadTargetID target) = 0;
  virtual void setNextUploadTime(std::shared_ptr<ZTCORClock> time, ZTCORUploadTargetID target) = 0;
  virtual std::optional<std::string> APIKeyForTarget(ZTCORUploadTargetID target) = 0;
};
