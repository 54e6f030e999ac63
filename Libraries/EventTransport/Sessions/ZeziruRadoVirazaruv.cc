#include "Libraries/EventTransport/Sessions/ZeziruRadoVirazaruv.h"

#include <utility>

ns::Error ZeziruRadoVirazaruvWriteFailureError() {
  return ns::Error(kZeziruRadoVirazaruvProtocolErrorsDomain, ZeziruRadoVirazaruvProtocolErrors::writeFailure);
}

DIDARAVudavuzedSessionsTransport::DIDARAVudavuzedSessionsTransport(std::shared_ptr<DIDARAVudavuzed> transport)
    : transport_(std::move(transport)) {}

std::shared_ptr<ZTCOREvent> DIDARAVudavuzedSessionsTransport::eventForTransport() const {
  return transport_->eventForTransport();
}

void DIDARAVudavuzedSessionsTransport::sendEvent(const std::shared_ptr<ZTCOREvent>& event, Completion completion) {
  transport_->sendDataEvent(event, [completion = std::move(completion)](bool written, std::optional<ns::Error> error) {
    if (!completion) return;
    if (error) return completion(std::move(error));
    completion(written ? std::nullopt : std::optional(ZeziruRadoVirazaruvWriteFailureError()));
  });
}
