#include "Libraries/EventTransport/Sessions/SessionEventMessage.h"

#include <pb_decode.h>

#include <utility>

SessionEventMessage::SessionEventMessage() : message_{} {}

SessionEventMessage::~SessionEventMessage() { pb_release(dozaveve_appvitals_sessions_SessionEvent_fields, &message_); }

// The moved-from message keeps no pointer, so releasing it frees nothing twice.
SessionEventMessage::SessionEventMessage(SessionEventMessage&& other) noexcept
    : message_(std::exchange(other.message_, dozaveve_appvitals_sessions_SessionEvent{})) {}

SessionEventMessage& SessionEventMessage::operator=(SessionEventMessage&& other) noexcept {
  if (this != &other) {
    pb_release(dozaveve_appvitals_sessions_SessionEvent_fields, &message_);
    message_ = std::exchange(other.message_, dozaveve_appvitals_sessions_SessionEvent{});
  }
  return *this;
}
