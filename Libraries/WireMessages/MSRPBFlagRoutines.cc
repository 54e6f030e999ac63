#include "Libraries/WireMessages/MSRPBFlagRoutines.h"

#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Libraries/WireMessages/MSRPBValueClassName.h"

namespace {

constexpr int32_t kNameIndex = 0;
constexpr int32_t kIntegerIndex = 1;
constexpr int32_t kStringIndex = 2;
constexpr int32_t kDoubleIndex = 3;
constexpr int32_t kBoolIndex = 4;

// The flag routines' messages are errors of the experiment area.
constexpr int64_t kLogLevel = 1;

std::shared_ptr<MSRPBFlag> refuse(int64_t code, const char* text, std::optional<ns::Value> context) {
  MSRPBLogToMeasurementLog({kLogLevel, code, text, std::move(context)});
  return nullptr;
}

// The class name of a value, null for nil.
ns::Value classNameContext(const std::optional<ns::Value>& value) {
  return value ? ns::Value(MSRPBValueClassName(*value)) : ns::Value();
}

}  // namespace

std::optional<ns::Value> MSRPBFlagValue(const MSRPBFlag* flag) {
  if (!flag) return std::nullopt;
  if (MSRPBMessageHasField(flag, kIntegerIndex)) {
    return ns::Value(static_cast<long long>(MSRPBMessageGetInt64(flag, kIntegerIndex)));
  }
  if (MSRPBMessageHasField(flag, kDoubleIndex)) return ns::Value(MSRPBMessageGetDouble(flag, kDoubleIndex));
  if (MSRPBMessageHasField(flag, kStringIndex)) {
    std::optional<std::string> text = MSRPBMessageGetString(flag, kStringIndex);
    if (!text) return std::nullopt;
    return ns::Value(std::move(*text));
  }
  if (MSRPBMessageHasField(flag, kBoolIndex)) return ns::Value(MSRPBMessageGetBool(flag, kBoolIndex));
  return std::nullopt;
}

std::shared_ptr<MSRPBFlag> MSRPBFlagWithNameAndValue(const std::optional<ns::Value>& name,
                                                     const std::optional<ns::Value>& value) {
  if (!name) return refuse(850000, "Flag name must not be nil", std::nullopt);
  if (!name->isString()) return refuse(850001, "Flag name must be a string", classNameContext(name));
  if (!value || !(value->isNumber() || value->isString())) {
    return refuse(850002, "Flag value is invalid", classNameContext(value));
  }
  auto flag = MSRPBFlag::initWithBuffer(std::nullopt);
  if (!flag) return nullptr;
  MSRPBMessageSetString(flag.get(), kNameIndex, *name->asString());
  if (const std::string* text = value->asString()) {
    MSRPBMessageSetString(flag.get(), kStringIndex, *text);
  } else if (value->numberKind() == ns::Value::NumberKind::Float ||
             value->numberKind() == ns::Value::NumberKind::Double) {
    MSRPBMessageSetDouble(flag.get(), kDoubleIndex, value->doubleValue());
  } else {
    MSRPBMessageSetInt64(flag.get(), kIntegerIndex, value->integerValue());
  }
  return flag;
}
