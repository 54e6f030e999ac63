#include "Libraries/Measurement/EventEditing/MSRPComparisonCommandEvaluator.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPCommandSupport.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

namespace {

using Scope = std::shared_ptr<MSRPScope>;
using msrp::boolean;
using msrp::undefined;

MSRPValueRef answer(bool value, const ns::Error& error) { return MSRPHasError(error) ? undefined() : boolean(value); }

MSRPValueRef looseEqual(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return answer(MSRPLooseEquals(*a[0], *a[1], error), error);
}
MSRPValueRef looseNotEqual(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return answer(!MSRPLooseEquals(*a[0], *a[1], error), error);
}
MSRPValueRef strictEqual(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return answer(MSRPStrictEquals(*a[0], *a[1], error), error);
}
MSRPValueRef strictNotEqual(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return answer(!MSRPStrictEquals(*a[0], *a[1], error), error);
}
MSRPValueRef less(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return answer(MSRPCompareValues(*a[0], *a[1], error) == -1, error);
}
MSRPValueRef lessOrEqual(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return answer(MSRPCompareValues(*a[0], *a[1], error) <= 0, error);
}
MSRPValueRef greater(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return answer(MSRPCompareValues(*a[1], *a[0], error) == -1, error);
}
MSRPValueRef greaterOrEqual(const MSRPValueList& a, const Scope&, ns::Error& error) {
  return answer(MSRPCompareValues(*a[1], *a[0], error) <= 0, error);
}

}  // namespace

MSRPComparisonCommandEvaluator::MSRPComparisonCommandEvaluator()
    : MSRPTableCommandEvaluator(Style::Eager, {{u"12", looseEqual},
                                               {u"29", looseNotEqual},
                                               {u"20", strictEqual},
                                               {u"21", strictNotEqual},
                                               {u"23", less},
                                               {u"24", lessOrEqual},
                                               {u"18", greater},
                                               {u"19", greaterOrEqual}}) {}

MSRPValueRef MSRPComparisonCommandEvaluator::evaluateCommand(const std::u16string& command,
                                                             const MSRPValueList& arguments, const Scope& scope,
                                                             ns::Error& error) {
  if (!MSRPCheckArgumentCount(arguments, 2, error)) return undefined();
  return MSRPTableCommandEvaluator::evaluateCommand(command, arguments, scope, error);
}
