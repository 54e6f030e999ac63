// The description of one session: its ID, the first session's ID of this
// process, whether its event may be sent (the sampling decision), and its
// index (0 for the first session of the process, then 1, 2, ...).
#pragma once

#include <cstdint>
#include <string>

struct SessionInfo {
  std::string sessionId;  // 32 lowercase hexadecimal digits
  std::string firstSessionId;
  bool shouldDispatchEvents = false;
  int32_t sessionIndex = 0;

  bool operator==(const SessionInfo&) const = default;
};
