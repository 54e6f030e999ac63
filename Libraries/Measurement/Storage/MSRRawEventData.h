// One stored raw event as the database reads it back: the event, its row
// id in raw_events and the fingerprint of the bundle metadata it belongs to.
#pragma once

#include <cstdint>
#include <memory>

#include "Libraries/Measurement/Core/MSREvent.h"

class MSRRawEventData {
 public:
  // Null without an event (monitor message 28000, level 4) or for a
  // negative row id (28001, level 4, the id as context).
  static std::shared_ptr<MSRRawEventData> initWithRawEvent(std::shared_ptr<MSREvent> rawEvent, int64_t rowID,
                                                           int64_t metadataFingerprint);

  const std::shared_ptr<MSREvent>& rawEvent() const { return rawEvent_; }
  int64_t rowID() const { return rowID_; }
  int64_t metadataFingerprint() const { return metadataFingerprint_; }

 private:
  MSRRawEventData(std::shared_ptr<MSREvent> rawEvent, int64_t rowID, int64_t metadataFingerprint)
      : rawEvent_(std::move(rawEvent)), rowID_(rowID), metadataFingerprint_(metadataFingerprint) {}

  std::shared_ptr<MSREvent> rawEvent_;
  int64_t rowID_;
  int64_t metadataFingerprint_;
};
