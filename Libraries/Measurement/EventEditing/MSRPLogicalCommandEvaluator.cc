#include "Libraries/Measurement/EventEditing/MSRPLogicalCommandEvaluator.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPCommandSupport.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

namespace {

using Scope = std::shared_ptr<MSRPScope>;
using msrp::boolean;
using msrp::undefined;

// a's value when its truth is `decides`, else b's; b runs only then.
MSRPValueRef shortCircuit(const MSRPValueList& a, const Scope& scope, ns::Error& error, bool decides) {
  if (!MSRPCheckArgumentCount(a, 2, error)) return undefined();
  MSRPValueRef first = MSRPEvaluator::evaluateStatement(a[0], scope, error);
  if (MSRPHasError(error)) return undefined();
  bool truth = first->booleanValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  if (truth == decides) return first;
  MSRPValueRef second = MSRPEvaluator::evaluateStatement(a[1], scope, error);
  return MSRPHasError(error) ? undefined() : second;
}

MSRPValueRef logicalAnd(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  return shortCircuit(a, scope, error, false);
}
MSRPValueRef logicalOr(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  return shortCircuit(a, scope, error, true);
}
MSRPValueRef logicalNot(const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return undefined();
  bool truth = msrp::evaluateCondition(a[0], scope, error);
  return MSRPHasError(error) ? undefined() : boolean(!truth);
}

}  // namespace

MSRPLogicalCommandEvaluator::MSRPLogicalCommandEvaluator()
    : MSRPTableCommandEvaluator(Style::Lazy, {{u"1", logicalAnd}, {u"30", logicalOr}, {u"28", logicalNot}}) {}
