// A flag of an experiment as a value, and a value as a flag.
//
//   auto flag = MSRPBFlagWithNameAndValue(ns::Value("color"), ns::Value(7));
//   MSRPBFlagValue(flag.get());   // ns::Value(7), an integer
//
// A flag holds its value in one of four fields: index 1 an int64, index 2
// a string, index 3 a double, index 4 a bool. Name and value arrive as the
// platform's objects: absent stands for nil.
//
// MSRPBFlagWithNameAndValue refuses, logging at level 1 to the measurement
// log (MSRPBTextOutput.h) and answering null:
//   850000 "Flag name must not be nil"      an absent name (no context)
//   850001 "Flag name must be a string"     a name of another type (its
//                                           class name as context)
//   850002 "Flag value is invalid"          a value that is neither a number
//                                           nor a string, absent included
//                                           (its class name as context, a
//                                           null value for an absent one)
// Any thread; one thread at a time uses a flag.
#pragma once

#include <memory>
#include <optional>

#include "Libraries/WireMessages/MSRPBExperimentMessages.h"
#include "Platform/Foundation/Value.h"

// The flag's value: the first set field of integer (index 1, an Int
// number), double (index 3, a Double number), string (index 2) and bool
// (index 4, a Bool number) wins. Absent for a null flag, a flag without
// a value, and a string value that is not UTF-8.
std::optional<ns::Value> MSRPBFlagValue(const MSRPBFlag* flag);

// A new flag named `name` holding `value`: a string goes to index 2, a
// float or double number to index 3 as a double, any other number (bool
// and integer kinds) to index 1 as a 64-bit integer. Index 4 is never set
// here. Null after a refusal (above).
std::shared_ptr<MSRPBFlag> MSRPBFlagWithNameAndValue(const std::optional<ns::Value>& name,
                                                     const std::optional<ns::Value>& value);
