// The module creators behind "require": one creator per module name,
// registered by the runtime and the editing engine before programs run.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

// Makes a module object; null stands for nothing made.
using MSRPModuleCreator = std::function<MSRPValueRef()>;

class MSRPDynamicProvider {
 public:
  // Replaces any creator of the same name.
  void setModuleCreator(MSRPModuleCreator creator, const std::u16string& name);
  // A new module from the name's creator. No creator: undefined and no
  // error. A creator that makes nothing: error 15 and null.
  MSRPValueRef moduleForName(const std::u16string& name, ns::Error& error) const;
  // The name's creator; empty when there is none.
  MSRPModuleCreator creatorForName(const std::u16string& name) const {
    auto found = creators_.find(name);
    return found == creators_.end() ? MSRPModuleCreator() : found->second;
  }

 private:
  std::unordered_map<std::u16string, MSRPModuleCreator> creators_;
};
