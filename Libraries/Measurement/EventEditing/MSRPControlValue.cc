#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"

#include <utility>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

// The shared values live as long as the process and are never destroyed:
// a destructor run at exit would hand its data to the releasing loop of a
// thread whose storage is already gone.
const MSRPValueRef& MSRPControlValue::breakValue() {
  static const MSRPValueRef& instance = *new MSRPValueRef(new MSRPControlValue(Shared{}, u"break"));
  return instance;
}

const MSRPValueRef& MSRPControlValue::continueValue() {
  static const MSRPValueRef& instance = *new MSRPValueRef(new MSRPControlValue(Shared{}, u"continue"));
  return instance;
}

MSRPValueRef MSRPControlValue::returnValueWithData(MSRPValueRef data) {
  return std::make_shared<MSRPControlValue>(u"return", std::move(data));
}

MSRPControlValue::MSRPControlValue(std::u16string type, MSRPValueRef data)
    : type_(std::move(type)), data_(MSRPValueOrUndefined(std::move(data))) {}

MSRPControlValue::MSRPControlValue(Shared, std::u16string type)
    : MSRPHeapObject(nullptr), type_(std::move(type)), data_(MSRPUndefinedValue::sharedInstance()) {}

MSRPControlValue::~MSRPControlValue() { MSRPReleaseLater(std::move(data_)); }

bool MSRPControlValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const {
  if (this == &other) return true;
  const auto* control = dynamic_cast<const MSRPControlValue*>(&other);
  if (control == nullptr || control->type_ != type_) return false;
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return false;
  return data_->isEqualToRuntimeValue(*control->data_, error) && !MSRPHasError(error);
}

void MSRPControlValue::dropReferences() {
  MSRPReleaseLater(std::exchange(data_, MSRPUndefinedValue::sharedInstance()));
}
