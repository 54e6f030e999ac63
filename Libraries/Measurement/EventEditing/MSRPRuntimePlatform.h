// The module "internal.platform", which every runtime offers: a function
// value whose property "getVersion" tells programs the runtime version.
// Calling the module itself gives undefined (its arguments unevaluated).
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"

class MSRPRuntimePlatform final : public MSRPFunctionValue {
 public:
  MSRPRuntimePlatform();

  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;
};
