// A module that answers keys with text values ("internal.remoteConfig"
// answers from the cached remote configuration): a function value of the
// given name over a block from key to value (absent when there is none).
//
// Calling the store itself is a plain function with an empty body; its
// "getValue" (key, default) needs exactly two arguments (error 9) and gives
// the block's answer for the key's text as a new string, or the evaluated
// default itself when the block has none.
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

class MSRPKeyValueStoreGetValue final : public MSRPFunctionValue {
 public:
  explicit MSRPKeyValueStoreGetValue(MSRPKeyValueBlock getValueBlock);

  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;

 private:
  MSRPKeyValueBlock getValueBlock_;
};
