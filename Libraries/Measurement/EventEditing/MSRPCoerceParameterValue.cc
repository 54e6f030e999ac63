#include <string_view>

#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"

namespace {

bool isFloatingPoint(const ns::Value& value) { return value.isReal(); }

// ns::Value::integerValue truncates and saturates, with 0 for NaN: no
// out-of-range conversion of a double.
ns::Value asInteger(const ns::Value& number) { return ns::Value(static_cast<long long>(number.integerValue())); }

}  // namespace

ns::Value MSRPCoerceParameterValue(std::string_view name, const ns::Value* oldValue, const ns::Value& newValue) {
  if (!newValue.isNumber()) return newValue;
  if (name == "_syn" || name == "_err" || name == "_el") return asInteger(newValue);
  if (oldValue != nullptr && oldValue->isNumber()) {
    if (isFloatingPoint(*oldValue)) return newValue;
    if (!name.empty() && name.front() == '_') return *oldValue;
    return asInteger(newValue);
  }
  if (oldValue != nullptr && oldValue->isString()) return ns::Value(newValue.stringValue());
  return newValue;
}
