// What the evaluator's tests share: building values and statements of the
// real commands, a printed form of any value, and two native functions a
// test can bind in a scope (installTestFunctions):
//
//   count()   counts its calls (evaluationCount()); its arguments never run
//   probe()   records the frame and nesting depth it runs at (lastProbe())
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"

namespace msrptest {

// Binds "count" and "probe" in the scope.
void installTestFunctions(const std::shared_ptr<MSRPScope>& scope);
// A native function running `body` with its arguments as passed
// (statements unevaluated).
std::shared_ptr<MSRPFunctionValue> nativeFunction(std::u16string name,
                                                  std::function<MSRPValueRef(const MSRPValueList& arguments)> body);

MSRPValueRef number(double value);
MSRPValueRef string(const std::u16string& value);
MSRPValueRef boolean(bool value);
MSRPValueRef statement(const std::u16string& name, MSRPValueList arguments = {});

// Statements of the real commands: a variable read, an assignment, a
// declaration with a value (giving the value), a function expression, and
// one that fails with the evaluator error `code` (2, 3, 4, 5, 9, 10, 16).
MSRPValueRef read(const std::u16string& name);
MSRPValueRef assign(const std::u16string& name, MSRPValueRef value);
MSRPValueRef declare(const std::u16string& name, MSRPValueRef value);
MSRPValueRef function(const std::u16string& name, const std::vector<std::u16string>& parameters, MSRPValueList body);
MSRPValueRef failing(int64_t code);

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
