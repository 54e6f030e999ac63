#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

#include <limits>

#include "Libraries/Measurement/EventEditing/MSRPError.h"

const MSRPValueRef& MSRPUndefinedValue::sharedInstance() {
  static const MSRPValueRef instance(new MSRPUndefinedValue());
  return instance;
}

std::u16string MSRPUndefinedValue::stringValueOrError(ns::Error&) const { return u"undefined"; }

double MSRPUndefinedValue::doubleValueOrError(ns::Error&) const { return std::numeric_limits<double>::quiet_NaN(); }

bool MSRPUndefinedValue::booleanValueOrError(ns::Error&) const { return false; }

MSRPValueRef MSRPUndefinedValue::applyWithName(const std::u16string&, const MSRPValueList&,
                                               const std::shared_ptr<MSRPScope>&, ns::Error& error) {
  MSRPSetError(error, MSRPErrorMethodOfNullOrUndefined);
  return sharedInstance();
}

bool MSRPUndefinedValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error&) const {
  return MSRPValueIs<MSRPUndefinedValue>(other);
}
