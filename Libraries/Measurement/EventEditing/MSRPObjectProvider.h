// A module that hands programs an object ("internal.appMetadata"): a
// function value of the given name over a block that makes the object
// (absent for none).
//
// A call, whatever its arguments (not evaluated), gives the block's object
// converted to a runtime value (MSRPRuntimeEntityConverter); a failed
// conversion is the call's error.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Platform/Foundation/Value.h"

using MSRPObjectBlock = std::function<std::optional<ns::Value>()>;

class MSRPObjectProvider final : public MSRPFunctionValue {
 public:
  MSRPObjectProvider(const std::string& name, MSRPObjectBlock block);

  const MSRPObjectBlock& block() const { return block_; }

  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;

 private:
  MSRPObjectBlock block_;
};
