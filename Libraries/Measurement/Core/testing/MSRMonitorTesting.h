// For tests: every message handed to a measurement monitor, printed or
// not (levels 2 and 5 never print), as it arrived, and a wait for the
// monitors' queued work.
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
// the calls, after waiting as MSRMonitorWaitForTesting does.
void MSRMonitorSetObserverForTesting(std::function<void(const MSRMonitorMessage&)> observer);

// Waits until every monitor has printed and sampled what it was handed so
// far, and the utilities logger has written it.
void MSRMonitorWaitForTesting();
