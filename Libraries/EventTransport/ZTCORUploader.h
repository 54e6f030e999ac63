// What the transport asks of an uploader and of a metrics controller; the
// registrar holds one of each per target.
#pragma once

#include <cstdint>
#include <memory>

#include "Libraries/EventTransport/ZTCORApplication.h"
#include "Libraries/EventTransport/ZTCORMetricsRecords.h"
#include "Libraries/EventTransport/ZTCORStorageProtocol.h"
#include "Libraries/EventTransport/ZTCORTargets.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"

// Upload conditions: a bit set handed to every uploader.
using ZTCORUploadConditions = int64_t;
inline constexpr ZTCORUploadConditions ZTCORUploadConditionNoNetwork = 1;
inline constexpr ZTCORUploadConditions ZTCORUploadConditionMobileData = 2;
inline constexpr ZTCORUploadConditions ZTCORUploadConditionWifiData = 4;
inline constexpr ZTCORUploadConditions ZTCORUploadConditionHighPriority = 16;

class ZTCORUploader : public ZTCORLifecycleProtocol {
 public:
  virtual void uploadTarget(ZTCORUploadTargetID target, ZTCORUploadConditions conditions) = 0;
};

class ZTCORMetricsControllerProtocol : public ZTCORStorageDelegate {
 public:
  // Each resolves without a value; nothing to count or offer resolves at once.
  virtual PRMPromise::Ptr logEventsDroppedForReason(int64_t reason, const ZTCOREventSet& events) = 0;
  // Fulfilled with a ZTCORMetrics object.
  virtual PRMPromise::Ptr getAndResetMetrics() = 0;
  virtual PRMPromise::Ptr offerMetrics(std::shared_ptr<ZTCORMetrics> metrics) = 0;
};
