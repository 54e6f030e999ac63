// Hands a session-start event to the transport: a transport event of the
// transport's mapping ID and target, tier 3, whose payload is the session
// event; the console logger sees the event first. An event whose encoding
// failed (empty bytes) is not sent: the completion gets writeFailure, so
// an empty record is never stored or uploaded.
#pragma once

#include <memory>

#include "Libraries/EventTransport/Sessions/EventVOVLoggerProtocol.h"
#include "Libraries/EventTransport/Sessions/ZeziruRadoVirazaruv.h"

class EventVOVLogger : public EventVOVLoggerProtocol {
 public:
  EventVOVLogger(std::shared_ptr<ZeziruRadoVirazaruvProtocol> zeziruRadoVirazaruv,
                 std::shared_ptr<EventVOVLoggerProtocol> devEventConsoleLogger);

  // The completion runs on the transport's queue, or on the caller's thread
  // when nothing is sent.
  void logEvent(const std::shared_ptr<SessionStartEvent>& event, Completion completion) override;

 private:
  std::shared_ptr<ZeziruRadoVirazaruvProtocol> zeziruRadoVirazaruv_;
  std::shared_ptr<EventVOVLoggerProtocol> devEventConsoleLogger_;
};
