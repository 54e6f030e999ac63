#include "Libraries/Measurement/EventEditing/MSRPMathCommandEvaluator.h"

#include <cmath>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPCommandSupport.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

namespace {

using Scope = std::shared_ptr<MSRPScope>;
using msrp::number;
using msrp::undefined;

template <class Operation>
MSRPValueRef arithmetic(const MSRPValueList& a, ns::Error& error, Operation operation) {
  if (!MSRPCheckArgumentCount(a, 2, error)) return undefined();
  double x = a[0]->doubleValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  double y = a[1]->doubleValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  return number(operation(x, y));
}

MSRPValueRef add(const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 2, error)) return undefined();
  if (!MSRPIsStringOrObjectValue(*a[0]) && !MSRPIsStringOrObjectValue(*a[1])) {
    return arithmetic(a, error, [](double x, double y) { return x + y; });
  }
  std::u16string first = a[0]->stringValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  std::u16string second = a[1]->stringValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  // Checked before joining: a text added to itself doubles each time.
  if (!MSRPAllowString(first.size() + second.size(), error)) return undefined();
  first += second;
  return std::make_shared<MSRPStringValue>(std::move(first));
}

MSRPValueRef subtract(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return arithmetic(a, error, [](double x, double y) { return x - y; });
}
MSRPValueRef multiply(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return arithmetic(a, error, [](double x, double y) { return x * y; });
}
MSRPValueRef divide(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return arithmetic(a, error, [](double x, double y) { return x / y; });
}
MSRPValueRef remainder(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return arithmetic(a, error, [](double x, double y) { return std::fmod(x, y); });
}
MSRPValueRef negate(const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return undefined();
  double x = a[0]->doubleValueOrError(error);
  return MSRPHasError(error) ? undefined() : number(-x);
}
MSRPValueRef same(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return MSRPCheckArgumentCount(a, 1, error) ? a[0] : undefined();
}
MSRPValueRef first(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return MSRPCheckArgumentCount(a, 2, error) ? a[0] : undefined();
}

}  // namespace

MSRPMathCommandEvaluator::MSRPMathCommandEvaluator()
    : MSRPTableCommandEvaluator(Style::Eager, {{u"0", add},
                                               {u"37", subtract},
                                               {u"26", multiply},
                                               {u"10", divide},
                                               {u"25", remainder},
                                               {u"27", negate},
                                               {u"34", same},
                                               {u"35", same},
                                               {u"32", first},
                                               {u"33", first}}) {}
