#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

#include <cmath>
#include <typeinfo>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"

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
