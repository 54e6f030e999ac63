// The analytics entry point as the kit and the notes code call it.
//
// Today it keeps the events of the current launch in memory (tests read
// them back); the measurement engine replaces the body behind the same
// signature. Logging an event never fails for the caller.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Value.h"

class VOZIzizuzove {
 public:
  struct Event {
    std::string name;
    std::optional<ns::Dictionary> parameters;  // string keys, string or number values
    std::string origin;                         // "app" for events the app logs
  };

  // Logs `name` with its parameters (or none) with origin "app". Any thread.
  static void logEventWithName(const std::string& name, const std::optional<ns::Dictionary>& parameters);

  // What this launch logged so far.
  static std::vector<Event> recordedEvents();
  static void clearRecordedEvents();
};
