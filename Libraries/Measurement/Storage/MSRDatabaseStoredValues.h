// How the measurement database stores values and events in its columns,
// shared by the property and audience tables.
#pragma once

#include <memory>
#include <optional>

#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/MSRValue.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

// A string value as text, a double value as a REAL, anything else as its
// 64-bit INTEGER.
ns::Value MSRStoredValueFromValue(const MSRValue& value);
// The event's encoded upload message; none when it does not encode.
std::optional<ns::Data> MSRStoredEventData(const MSREvent& event);
// The event of a stored column; null with code 2 when the column is not
// data, does not decode, or makes no event.
std::shared_ptr<MSREvent> MSREventFromStoredColumn(const ns::Value& column, ns::Error* error);
