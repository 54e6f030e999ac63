// Makes each new session: a fresh random ID, the process's first session ID
// (fixed by the first session) and an index that counts sessions from 0.
// Neither survives a restart. Safe to use from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/EventTransport/Sessions/SessionInfo.h"

class SessionGenerator {
 public:
  // `collectEvents`: the process's sampling decision, given to every session.
  explicit SessionGenerator(bool collectEvents);

  // Moves to a new session and returns it. Its ID is a random version-4
  // UUID's text without "-", lowercased. The index stops at the largest
  // 32-bit value rather than wrapping to a negative one.
  SessionInfo nextSession();
  // The current session; nothing before the first.
  std::optional<SessionInfo> currentSession() const;

 private:
  const bool collectEvents_;
  mutable std::mutex mutex_;
  std::optional<SessionInfo> thisSession_;
  std::string firstSessionId_;
  int32_t sessionIndex_ = -1;
};
