// A producer's front door to the transport: one mapping ID, one target and
// the producer's transformers. The producer asks it for an event, fills in
// the payload and sends it; the transport sends a copy stamped with the
// clock, so the caller may keep using its event. One producer's events
// reach storage in the order they were sent.
//
//   auto transport = DIDARAVudavuzed::initWithMappingID("1974", {}, kZTCORTargetFLL);
//   auto event = transport->eventForTransport();
//   event->setDataObject(payload);
//   transport->sendDataEvent(event, [](bool written, std::optional<ns::Error> error) { ... });
//
// The completion is called once, on the storage's or the transformer's queue.
#pragma once

#include <memory>
#include <string>

#include "Libraries/EventTransport/ZTCORTransformer.h"

class DIDARAVudavuzed {
 public:
  // Null for an empty mapping ID or a target below 1.
  static std::shared_ptr<DIDARAVudavuzed> initWithMappingID(const std::string& mappingID,
                                                            ZTCOREventTransformers transformers,
                                                            ZTCORUploadTargetID target);

  // With the transport's mapping ID and target, tier 3.
  std::shared_ptr<ZTCOREvent> eventForTransport() const;

  // Sent with the tier the caller gave the event.
  void sendDataEvent(const std::shared_ptr<ZTCOREvent>& event,
                     ZTCORStorageProtocol::StoreCompletion onComplete = nullptr);
  // Sets the caller's event to tier 1 (telemetry), then sends it.
  void sendTelemetryEvent(const std::shared_ptr<ZTCOREvent>& event,
                          ZTCORStorageProtocol::StoreCompletion onComplete = nullptr);

  const std::string& mappingID() const { return mappingID_; }
  const ZTCOREventTransformers& transformers() const { return transformers_; }
  ZTCORUploadTargetID target() const { return target_; }
  const std::shared_ptr<ZTCORTransformer>& transformerInstance() const { return transformerInstance_; }

  DIDARAVudavuzed(std::string mappingID, ZTCOREventTransformers transformers, ZTCORUploadTargetID target);

 private:
  void sendEvent(const std::shared_ptr<ZTCOREvent>& event, ZTCORStorageProtocol::StoreCompletion onComplete);

  std::string mappingID_;
  ZTCOREventTransformers transformers_;
  ZTCORUploadTargetID target_;
  std::shared_ptr<ZTCORTransformer> transformerInstance_;
};
