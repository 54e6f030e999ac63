#include "Libraries/EventTransport/Sessions/EventVOVLogger.h"

#include <utility>

EventVOVLogger::EventVOVLogger(std::shared_ptr<ZeziruRadoVirazaruvProtocol> zeziruRadoVirazaruv,
                               std::shared_ptr<EventVOVLoggerProtocol> devEventConsoleLogger)
    : zeziruRadoVirazaruv_(std::move(zeziruRadoVirazaruv)), devEventConsoleLogger_(std::move(devEventConsoleLogger)) {}

void EventVOVLogger::logEvent(const std::shared_ptr<SessionStartEvent>& event, Completion completion) {
  auto transportEvent = zeziruRadoVirazaruv_->eventForTransport();
  if (!transportEvent) {
    if (completion) completion(ZeziruRadoVirazaruvWriteFailureError());
    return;
  }
  transportEvent->setDataObject(event);  // encodes the event once, here
  transportEvent->setQosTier(ZTCOREventQosDefault);
  if (devEventConsoleLogger_) devEventConsoleLogger_->logEvent(event, [](std::optional<ns::Error>) {});
  // Encoding has already logged why it failed; an empty record must not
  // reach storage, where it would be kept and uploaded as a session event.
  const std::optional<ns::Data>& bytes = transportEvent->serializedDataObjectBytes();
  if (!bytes || bytes->empty()) {
    if (completion) completion(ZeziruRadoVirazaruvWriteFailureError());
    return;
  }
  zeziruRadoVirazaruv_->sendEvent(transportEvent, std::move(completion));
}
