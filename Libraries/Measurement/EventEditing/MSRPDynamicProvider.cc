#include "Libraries/Measurement/EventEditing/MSRPDynamicProvider.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

void MSRPDynamicProvider::setModuleCreator(MSRPModuleCreator creator, const std::u16string& name) {
  creators_[name] = std::move(creator);
}

MSRPValueRef MSRPDynamicProvider::moduleForName(const std::u16string& name, ns::Error& error) const {
  auto found = creators_.find(name);
  if (found == creators_.end() || !found->second) return MSRPUndefinedValue::sharedInstance();
  MSRPValueRef module = found->second();
  if (!module) MSRPSetError(error, MSRPErrorModuleCreatorReturnedNothing);
  return module;
}
