// The engine's own "_err" events: a problem with something an app logged
// (a name over a limit, too many default parameters) travels in the
// uploaded data as an internal event of origin "auto" named "_err" whose
// parameter "_err" is the code (MSRErrorCodeNameMap), with "_ev" and "_el"
// naming what was refused.
//
// The event takes the analytics interface's internal-event road, so it is
// queued behind what the caller queued before it. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Libraries/Measurement/Core/MSRValue.h"

// Logs {"_err": code}; nothing for code 0.
void MSRLogErrorEvent(int64_t code);
// Logs {"_err": code} with "_ev" = the name trimmed to `maxLength` and,
// when the value is given and either longer than `maxLength` or the code
// is 4 or 7, "_el" = its length; nothing for code 0.
void MSRLogErrorEventWithValue(int64_t code, const std::string& name, int64_t maxLength,
                               const std::optional<MSRValue>& value);
