// Routines every command handler shares: argument counts, the integer
// conversions, kind tests and the equality tests of the operators.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

// YES when the list holds exactly / at least / at most `count` items;
// otherwise error 9.
bool MSRPCheckArgumentCount(const MSRPValueList& arguments, size_t count, ns::Error& error);
bool MSRPCheckMinimumArgumentCount(const MSRPValueList& arguments, size_t count, ns::Error& error);
bool MSRPCheckMaximumArgumentCount(const MSRPValueList& arguments, size_t count, ns::Error& error);

// 0 for NaN and the infinities; otherwise the value truncated toward zero,
// reduced modulo 2^32 into the signed 32-bit range: -1 gives -1,
// 4294967297 gives 1, 2147483648 gives -2147483648, 7.9 gives 7.
int32_t MSRPToInt32(double value);
// 0 for NaN; infinities and zeros unchanged; otherwise truncated toward zero.
double MSRPToInteger(double value);

// YES for arrays, functions, maps and strings.
bool MSRPIsStringOrObjectValue(const MSRPRuntimeValue& value);
// YES for a number or string whose number is finite, not negative and whole.
bool MSRPIsArrayIndexValue(const MSRPRuntimeValue& value);

// The two string conversions compared (NO after a failing conversion).
bool MSRPStringValuesEqual(const MSRPRuntimeValue& a, const MSRPRuntimeValue& b, ns::Error& error);
// The two number conversions compared with == (NaN equals nothing).
bool MSRPNumberValuesEqual(const MSRPRuntimeValue& a, const MSRPRuntimeValue& b, ns::Error& error);
// NO for values of different classes; numbers and booleans by number,
// strings by text, everything else by identity.
bool MSRPStrictEquals(const MSRPRuntimeValue& a, const MSRPRuntimeValue& b, ns::Error& error);
