#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

const MSRPValueRef& MSRPNullValue::sharedInstance() {
  static const MSRPValueRef instance(new MSRPNullValue());
  return instance;
}

std::u16string MSRPNullValue::stringValueOrError(ns::Error&) const { return u"null"; }

double MSRPNullValue::doubleValueOrError(ns::Error&) const { return 0; }

bool MSRPNullValue::booleanValueOrError(ns::Error&) const { return false; }

MSRPValueRef MSRPNullValue::applyWithName(const std::u16string&, const MSRPValueList&,
                                          const std::shared_ptr<MSRPScope>&, ns::Error& error) {
  MSRPSetError(error, MSRPErrorMethodOfNullOrUndefined);
  return MSRPUndefinedValue::sharedInstance();
}

bool MSRPNullValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error&) const {
  return MSRPValueIs<MSRPNullValue>(other);
}
