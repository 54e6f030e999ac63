#include "Libraries/Measurement/EventEditing/MSRPStatementValue.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"

bool MSRPStatementValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const {
  if (this == &other) return true;
  const auto* statement = dynamic_cast<const MSRPStatementValue*>(&other);
  if (statement == nullptr || statement->functionName_ != functionName_ ||
      statement->arguments_.size() != arguments_.size()) {
    return false;
  }
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return false;
  for (size_t i = 0; i < arguments_.size(); ++i) {
    bool equal = arguments_[i]->isEqualToRuntimeValue(*statement->arguments_[i], error);
    if (MSRPHasError(error) || !equal) return false;
  }
  return true;
}
