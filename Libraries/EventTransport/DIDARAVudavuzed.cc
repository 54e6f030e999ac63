#include "Libraries/EventTransport/DIDARAVudavuzed.h"

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORTransportStartUp.h"

std::shared_ptr<DIDARAVudavuzed> DIDARAVudavuzed::initWithMappingID(const std::string& mappingID,
                                                                    ZTCOREventTransformers transformers,
                                                                    ZTCORUploadTargetID target) {
  ZTCORTransportStartUp();
  if (mappingID.empty() || target < 1) return nullptr;
  std::string names = "(";
  for (const auto& transformer : transformers) {
    names += (names.size() > 1 ? ", " : "") + (transformer ? transformer->description() : std::string("(null)"));
  }
  names += ")";
  ZTCORLogDebug("Transport object created. mappingID:%@ transformers:%@ target:%ld", mappingID, names,
                static_cast<long>(target));
  return std::make_shared<DIDARAVudavuzed>(mappingID, std::move(transformers), target);
}

DIDARAVudavuzed::DIDARAVudavuzed(std::string mappingID, ZTCOREventTransformers transformers,
                                 ZTCORUploadTargetID target)
    : mappingID_(std::move(mappingID)),
      transformers_(std::move(transformers)),
      target_(target),
      transformerInstance_(ZTCORTransformer::sharedInstance()) {}

std::shared_ptr<ZTCOREvent> DIDARAVudavuzed::eventForTransport() const {
  return ZTCOREvent::initWithMappingID(mappingID_, target_);
}

void DIDARAVudavuzed::sendDataEvent(const std::shared_ptr<ZTCOREvent>& event,
                                    ZTCORStorageProtocol::StoreCompletion onComplete) {
  sendEvent(event, std::move(onComplete));
}

void DIDARAVudavuzed::sendTelemetryEvent(const std::shared_ptr<ZTCOREvent>& event,
                                         ZTCORStorageProtocol::StoreCompletion onComplete) {
  if (event) event->setQosTier(ZTCOREventQoSTelemetry);
  sendEvent(event, std::move(onComplete));
}

void DIDARAVudavuzed::sendEvent(const std::shared_ptr<ZTCOREvent>& event,
                                ZTCORStorageProtocol::StoreCompletion onComplete) {
  if (!event) {
    // Nothing to send; the store would refuse it the same way.
    if (onComplete) onComplete(false, ns::Error(ns::kInternalInconsistencyException, -1));
    return;
  }
  auto copy = event->copy();
  copy->setClockSnapshot(ZTCORClock::snapshot());
  transformerInstance_->transformEvent(copy, transformers_, std::move(onComplete));
}
