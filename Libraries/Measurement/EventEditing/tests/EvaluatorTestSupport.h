// What the evaluator's tests share: building values and statements, a
// printed form of any value, and a small command set of their own
// (names beginning "test.", which are no command codes), registered once
// with the shared registrar, so that scopes, calls, lists and limits can
// be tested before and beside the real command tables.
//
//   test.declare name value   declares in the current scope, gives value
//   test.const name value     declares a constant
//   test.assign name value    assigns (MSRPScope::setValue), gives value
//   test.read name            the name's value
//   test.add a b              number sum
//   test.fail code            raises the evaluator error `code`
//   test.map k v ...          a new map
//   test.array v ...          a new array
//   test.set object key value stores a property of a map or function
//   test.apply object name a..  object's applyWithName(name, [a..])
//   test.invoke function a..  invokeWithEvaluatedArguments([a..])
//   test.return [v] / test.break / test.continue   control values
//   test.count                counts its evaluations (evaluationCount())
//   test.probe                records the frame it runs in (lastProbe())
// and, with their arguments unevaluated:
//   test.function name "a,b" body..   a function of the current scope
//   test.list s..             the statements as a list in this scope
//   test.block s..            the same in a new child scope
//   test.forever s..          the literal true, then the list, again and
//                             again until an error
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"

namespace msrptest {

void registerTestCommands();

MSRPValueRef number(double value);
MSRPValueRef string(const std::u16string& value);
MSRPValueRef boolean(bool value);
MSRPValueRef statement(const std::u16string& name, MSRPValueList arguments = {});

// The RuntimeEntity tree of a string, number, boolean or statement (whose
// arguments are such values too), as a program arrives; and a list of them.
std::shared_ptr<MSRPBRuntimeEntity> entityOf(const MSRPValueRef& value);
MSRPBArray entitiesOf(const MSRPValueList& values);

// The printed form the conformance files use: undefined, null, true,
// 2.5, 'text', [1,'a'], {'k':1}, function f, statement 0(1,2), break,
// continue, return 1.
std::string describe(const MSRPRuntimeValue& value);
std::string describe(const MSRPValueRef& value);

// The evaluator error code in `error`, or 0 when none is set.
int64_t errorCode(const ns::Error& error);

long evaluationCount();
void resetEvaluationCount();

struct Probe {
  uintptr_t frame = 0;  // __builtin_frame_address(0) of test.probe
  int32_t depth = 0;    // MSRPNestingGuard::currentDepth() there
};
Probe lastProbe();

}  // namespace msrptest
