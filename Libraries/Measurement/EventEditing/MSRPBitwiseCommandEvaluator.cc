#include "Libraries/Measurement/EventEditing/MSRPBitwiseCommandEvaluator.h"

#include <cstdint>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPCommandSupport.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

namespace {

using Scope = std::shared_ptr<MSRPScope>;
using msrp::number;
using msrp::undefined;

// The operands as 32-bit integers; NO after an error.
bool operands(const MSRPValueList& a, size_t count, int32_t* values, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, count, error)) return false;
  for (size_t i = 0; i < count; ++i) {
    double value = a[i]->doubleValueOrError(error);
    if (MSRPHasError(error)) return false;
    values[i] = MSRPToInt32(value);
  }
  return true;
}

template <class Operation>
MSRPValueRef binary(const MSRPValueList& a, ns::Error& error, Operation operation) {
  int32_t v[2];
  if (!operands(a, 2, v, error)) return undefined();
  return number(static_cast<double>(operation(v[0], v[1])));
}

// Shifts work on the unsigned pattern, where every shift is defined.
uint32_t bits(int32_t value) { return static_cast<uint32_t>(value); }
uint32_t shiftCount(int32_t value) { return bits(value) & 31u; }

MSRPValueRef bitAnd(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return binary(a, error, [](int32_t x, int32_t y) { return x & y; });
}
MSRPValueRef bitOr(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return binary(a, error, [](int32_t x, int32_t y) { return x | y; });
}
MSRPValueRef bitXor(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return binary(a, error, [](int32_t x, int32_t y) { return x ^ y; });
}
MSRPValueRef bitNot(const MSRPValueList& a, const Scope&, ns::Error& error) {
  int32_t v[1];
  if (!operands(a, 1, v, error)) return undefined();
  return number(static_cast<double>(~v[0]));
}
MSRPValueRef shiftLeft(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return binary(a, error, [](int32_t x, int32_t y) { return static_cast<int32_t>(bits(x) << shiftCount(y)); });
}
MSRPValueRef shiftRight(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return binary(a, error, [](int32_t x, int32_t y) { return x >> shiftCount(y); });
}
MSRPValueRef shiftRightUnsigned(const MSRPValueList& a, const Scope&, ns::Error& error) {
  int32_t v[2];
  if (!operands(a, 2, v, error)) return undefined();
  return number(static_cast<double>(bits(v[0]) >> shiftCount(v[1])));
}

}  // namespace

MSRPBitwiseCommandEvaluator::MSRPBitwiseCommandEvaluator()
    : MSRPTableCommandEvaluator(Style::Eager, {{u"56", bitAnd},
                                               {u"59", bitOr},
                                               {u"62", bitXor},
                                               {u"58", bitNot},
                                               {u"57", shiftLeft},
                                               {u"60", shiftRight},
                                               {u"61", shiftRightUnsigned}}) {}
