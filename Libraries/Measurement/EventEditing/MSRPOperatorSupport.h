// What the command handlers share: the neutral result of a failed
// command, new numbers and shared booleans.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

namespace msrp {
inline const MSRPValueRef& undefined() { return MSRPUndefinedValue::sharedInstance(); }
inline MSRPValueRef number(double value) { return std::make_shared<MSRPNumberValue>(value); }
inline const MSRPValueRef& boolean(bool value) { return MSRPBooleanValue::booleanValueWithBool(value); }
}  // namespace msrp
