// The methods of values with a property map (maps and functions), in this
// order: a property of that name is called when it holds a function (any
// other value there is error 17); "hasOwnProperty" answers whether the
// string conversion of its one argument, as passed in, names a property
// (the arguments are evaluated first, and must be one value, else error
// 9); anything else is the base's (only "toString").
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPPropertyMap.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

MSRPValueRef MSRPApplyPropertyMethod(MSRPRuntimeValue& receiver, const MSRPPropertyMap& properties,
                                     const std::u16string& name, const MSRPValueList& arguments,
                                     const std::shared_ptr<MSRPScope>& scope, ns::Error& error);
