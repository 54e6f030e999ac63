// A module that hands programs an object ("internal.appMetadata"): a
// function value of the given name over a block that makes the object
// (absent for none).
//
// Today it is the plain function of that name; the editing modules' work
// makes a call of it give the block's object converted to a value.
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

 private:
  MSRPObjectBlock block_;
};
