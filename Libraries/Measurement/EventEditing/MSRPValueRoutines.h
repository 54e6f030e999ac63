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

// Loose equality's ranks: 0 undefined and null, 1 numbers and booleans, 2
// strings, 3 everything else.
int MSRPEqualityRank(const MSRPRuntimeValue& value);
// Loose equality: the lower-ranked value (the first on a tie) decides how
// the two compare: rank 0 equals rank 0 only, rank 1 by number, rank 2 by
// text, rank 3 by identity.
bool MSRPLooseEquals(const MSRPRuntimeValue& a, const MSRPRuntimeValue& b, ns::Error& error);
// -1, 0 or 1: by text when both are strings or objects (canonically
// equivalent texts are the same, else UTF-16 order), else by number, where
// NaN and a failing conversion (error set) give 1.
int MSRPCompareValues(const MSRPRuntimeValue& x, const MSRPRuntimeValue& y, ns::Error& error);

// A whole double (MSRPToInteger's result, infinities included) clamped to
// [low, high] in double first, then converted: never an out-of-range cast.
int64_t MSRPClampToInt64(double value, int64_t low, int64_t high);
