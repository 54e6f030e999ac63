// One session event in nanopb's in-memory form, owned: everything nanopb
// allocated inside it (its byte arrays) is released with it. Starts all
// zero: every string absent, every number 0.
#pragma once

#include "Libraries/EventTransport/Sessions/SessionEvent.pb.h"

class SessionEventMessage {
 public:
  SessionEventMessage();
  ~SessionEventMessage();
  SessionEventMessage(const SessionEventMessage&) = delete;
  SessionEventMessage& operator=(const SessionEventMessage&) = delete;
  SessionEventMessage(SessionEventMessage&& other) noexcept;
  SessionEventMessage& operator=(SessionEventMessage&& other) noexcept;

  dozaveve_appvitals_sessions_SessionEvent& get() { return message_; }
  const dozaveve_appvitals_sessions_SessionEvent& get() const { return message_; }
  dozaveve_appvitals_sessions_SessionEvent* operator->() { return &message_; }
  const dozaveve_appvitals_sessions_SessionEvent* operator->() const { return &message_; }

 private:
  dozaveve_appvitals_sessions_SessionEvent message_;
};
