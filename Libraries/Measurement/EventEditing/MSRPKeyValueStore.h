// A module that answers keys with text values ("internal.remoteConfig"
// answers from the cached remote configuration): a function value of the
// given name over a block from key to value (absent when there is none).
//
// Today it is the plain function of that name; the editing modules' work
// adds its "getValue".
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"

using MSRPKeyValueBlock = std::function<std::optional<std::string>(const std::string& key)>;

class MSRPKeyValueStore final : public MSRPFunctionValue {
 public:
  MSRPKeyValueStore(const std::string& functionName, MSRPKeyValueBlock getValueBlock);

  const MSRPKeyValueBlock& getValueBlock() const { return getValueBlock_; }

 private:
  MSRPKeyValueBlock getValueBlock_;
};
