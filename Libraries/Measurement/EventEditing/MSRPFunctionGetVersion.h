// "getVersion": the evaluator's runtime version (MSRPRuntime::runtimeVersion)
// as a number; its arguments are not evaluated.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"

class MSRPFunctionGetVersion final : public MSRPFunctionValue {
 public:
  MSRPFunctionGetVersion() : MSRPFunctionValue(u"getVersion") {}

  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;
};
