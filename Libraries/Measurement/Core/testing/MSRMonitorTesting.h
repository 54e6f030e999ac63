// For tests: every message handed to the measurement monitor, printed or
// not (levels 2 and 5 never print), as it arrived.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRMonitor.h"

struct MSRMonitorMessage {
  int64_t level = 0;
  int64_t code = 0;
  std::optional<std::string> message;
  std::vector<MSRLogContext> contexts;
};

// Called on the logging thread with each message; an empty function stops
// the calls.
void MSRMonitorSetObserverForTesting(std::function<void(const MSRMonitorMessage&)> observer);
