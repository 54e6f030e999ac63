#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {
bool failCount(ns::Error& error) {
  MSRPSetError(error, MSRPErrorArgumentCount);
  return false;
}
}  // namespace

bool MSRPCheckArgumentCount(const MSRPValueList& arguments, size_t count, ns::Error& error) {
  return arguments.size() == count || failCount(error);
}

bool MSRPCheckMinimumArgumentCount(const MSRPValueList& arguments, size_t count, ns::Error& error) {
  return arguments.size() >= count || failCount(error);
}

bool MSRPCheckMaximumArgumentCount(const MSRPValueList& arguments, size_t count, ns::Error& error) {
  return arguments.size() <= count || failCount(error);
}

int32_t MSRPToInt32(double value) {
  if (!std::isfinite(value)) return 0;
  // |remainder| < 2^32, so it fits an int64_t exactly; the unsigned
  // 32-bit reduction then wraps it into the signed range on every
  // processor (no out-of-range float-to-integer cast).
  double remainder = std::fmod(std::trunc(value), 4294967296.0);
  auto whole = static_cast<int64_t>(remainder);
  return static_cast<int32_t>(static_cast<uint32_t>(whole));
}

double MSRPToInteger(double value) {
  if (std::isnan(value)) return 0;
  if (std::isinf(value) || value == 0) return value;
  return std::trunc(value);
}

bool MSRPIsStringOrObjectValue(const MSRPRuntimeValue& value) {
  return MSRPValueIs<MSRPArrayValue>(value) || MSRPValueIs<MSRPFunctionValue>(value) ||
         MSRPValueIs<MSRPMapValue>(value) || MSRPValueIs<MSRPStringValue>(value);
}

bool MSRPIsArrayIndexValue(const MSRPRuntimeValue& value) {
  if (!MSRPValueIs<MSRPNumberValue>(value) && !MSRPValueIs<MSRPStringValue>(value)) return false;
  ns::Error error;
  double number = value.doubleValueOrError(error);
  return !MSRPHasError(error) && std::isfinite(number) && number >= 0 && std::trunc(number) == number;
}

bool MSRPStringValuesEqual(const MSRPRuntimeValue& a, const MSRPRuntimeValue& b, ns::Error& error) {
  std::u16string first = a.stringValueOrError(error);
  if (MSRPHasError(error)) return false;
  std::u16string second = b.stringValueOrError(error);
  if (MSRPHasError(error)) return false;
  return first == second;
}

bool MSRPNumberValuesEqual(const MSRPRuntimeValue& a, const MSRPRuntimeValue& b, ns::Error& error) {
  double first = a.doubleValueOrError(error);
  if (MSRPHasError(error)) return false;
  double second = b.doubleValueOrError(error);
  if (MSRPHasError(error)) return false;
  return first == second;
}

bool MSRPStrictEquals(const MSRPRuntimeValue& a, const MSRPRuntimeValue& b, ns::Error& error) {
  if (typeid(a) != typeid(b)) return false;
  if (MSRPValueIs<MSRPNumberValue>(a) || MSRPValueIs<MSRPBooleanValue>(a)) return MSRPNumberValuesEqual(a, b, error);
  if (MSRPValueIs<MSRPStringValue>(a)) return MSRPStringValuesEqual(a, b, error);
  return &a == &b;
}

int MSRPEqualityRank(const MSRPRuntimeValue& value) {
  if (MSRPValueIs<MSRPUndefinedValue>(value) || MSRPValueIs<MSRPNullValue>(value)) return 0;
  if (MSRPValueIs<MSRPNumberValue>(value) || MSRPValueIs<MSRPBooleanValue>(value)) return 1;
  if (MSRPValueIs<MSRPStringValue>(value)) return 2;
  return 3;
}

bool MSRPLooseEquals(const MSRPRuntimeValue& a, const MSRPRuntimeValue& b, ns::Error& error) {
  int rankA = MSRPEqualityRank(a);
  int rankB = MSRPEqualityRank(b);
  const MSRPRuntimeValue& low = rankB < rankA ? b : a;
  const MSRPRuntimeValue& high = rankB < rankA ? a : b;
  switch (std::min(rankA, rankB)) {
    case 0:
      return MSRPEqualityRank(high) == 0;
    case 1:
      return MSRPNumberValuesEqual(low, high, error);
    case 2:
      return MSRPStringValuesEqual(low, high, error);
    default:
      return &a == &b;
  }
}

int MSRPCompareValues(const MSRPRuntimeValue& x, const MSRPRuntimeValue& y, ns::Error& error) {
  if (MSRPIsStringOrObjectValue(x) && MSRPIsStringOrObjectValue(y)) {
    std::u16string first = x.stringValueOrError(error);
    if (MSRPHasError(error)) return 1;
    std::u16string second = y.stringValueOrError(error);
    if (MSRPHasError(error)) return 1;
    return static_cast<int>(ns::compare(ns::toUtf8(first), ns::toUtf8(second)));
  }
  double first = x.doubleValueOrError(error);
  if (MSRPHasError(error)) return 1;
  double second = y.doubleValueOrError(error);
  if (MSRPHasError(error)) return 1;
  if (first < second) return -1;
  return first == second ? 0 : 1;
}

int64_t MSRPClampToInt64(double value, int64_t low, int64_t high) {
  if (std::isnan(value)) return 0 < low ? low : (0 > high ? high : 0);
  if (value <= static_cast<double>(low)) return low;
  if (value >= static_cast<double>(high)) return high;
  return static_cast<int64_t>(value);
}
