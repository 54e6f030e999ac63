#include "Libraries/Measurement/Storage/MSRAppMetadata.h"

#include <limits>

#include "Libraries/Measurement/Core/MSRMeasurement.h"

std::shared_ptr<MSRAppMetadata> MSRAppMetadata::initWithLastBundleIndex(int32_t lastBundleIndex,
                                                                        double lastBundleStartTimestamp,
                                                                        double lastBundleEndTimestamp) {
  if (lastBundleIndex < 0) {
    MSRMeasurement::monitor()->logWithLevel(
        2, 4000, "Failed to create app metadata object. Received negative last bundle index.");
    return nullptr;
  }
  return std::shared_ptr<MSRAppMetadata>(
      new MSRAppMetadata(lastBundleIndex, lastBundleStartTimestamp, lastBundleEndTimestamp));
}

void MSRAppMetadata::incrementLastBundleIndex() {
  if (lastBundleIndex_ == std::numeric_limits<int32_t>::max()) {
    lastBundleIndex_ = 0;
    MSRMeasurement::monitor()->logWithLevel(5, 4001, "Bundle index overflow. Bundle index reset to 0.");
    return;
  }
  ++lastBundleIndex_;
}
