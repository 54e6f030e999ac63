#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"

#include <limits>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPPropertyMethods.h"

std::u16string MSRPMapValue::stringValueOrError(ns::Error&) const { return u"[object Object]"; }

double MSRPMapValue::doubleValueOrError(ns::Error&) const { return std::numeric_limits<double>::quiet_NaN(); }

bool MSRPMapValue::booleanValueOrError(ns::Error&) const { return true; }

MSRPValueRef MSRPMapValue::applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                                         const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  return MSRPApplyPropertyMethod(*this, propertyMap_, name, arguments, scope, error);
}

bool MSRPMapValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const {
  if (this == &other) return true;
  const auto* map = dynamic_cast<const MSRPMapValue*>(&other);
  if (map == nullptr || map->propertyMap_.count() != propertyMap_.count()) return false;
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return false;
  for (const std::u16string& name : propertyMap_.allNames()) {
    const MSRPValueRef* theirs = map->propertyMap_.find(name);
    if (theirs == nullptr) return false;
    // Comparing runs no program code, so both maps stay as they are.
    bool equal = (*propertyMap_.find(name))->isEqualToRuntimeValue(**theirs, error);
    if (MSRPHasError(error)) return false;
    if (!equal) return false;
  }
  return true;
}
