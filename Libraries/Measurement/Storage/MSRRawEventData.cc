#include "Libraries/Measurement/Storage/MSRRawEventData.h"

#include "Libraries/Measurement/Core/MSRMeasurement.h"

std::shared_ptr<MSRRawEventData> MSRRawEventData::initWithRawEvent(std::shared_ptr<MSREvent> rawEvent, int64_t rowID,
                                                                   int64_t metadataFingerprint) {
  if (!rawEvent) {
    MSRMeasurement::monitor()->logWithLevel(4, 28000, "Failed to create raw event data. Received invalid raw event.");
    return nullptr;
  }
  if (rowID < 0) {
    MSRMeasurement::monitor()->logWithLevel(4, 28001, "Failed to create raw event data. Received invalid row ID. Row ID",
                                            rowID);
    return nullptr;
  }
  return std::shared_ptr<MSRRawEventData>(new MSRRawEventData(std::move(rawEvent), rowID, metadataFingerprint));
}
