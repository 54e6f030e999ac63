#include "Libraries/Measurement/Core/MSRUserAttribute.h"

#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSRNumericUtil.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

// Field indexes of the message.
constexpr int32_t kTimestamp = 0, kName = 1, kString = 2, kInt = 3, kDouble = 5;

}  // namespace

std::shared_ptr<MSRUserAttribute> MSRUserAttribute::initWithOrigin(const std::string& origin, const std::string& name,
                                                                   const MSRValue& value, double lastSetTimestamp) {
  ns::Value nameObject(name);
  if (!MSRDataTypeValidator::isValidInternalUserAttributeName(&nameObject) ||
      !MSRDataTypeValidator::isValidInternalUserAttributeValue(value, name) || value.isArray()) {
    return nullptr;
  }
  return std::shared_ptr<MSRUserAttribute>(new MSRUserAttribute(origin, name, value, lastSetTimestamp));
}

std::shared_ptr<MSRPBUserAttribute> MSRUserAttribute::protoUserAttribute() const {
  auto message = MSRPBUserAttribute::initWithMessageInfo(nullptr);
  MSRPBMessageSetString(message.get(), kName, name_);
  if (value_.isDouble()) {
    MSRPBMessageSetDouble(message.get(), kDouble, value_.doubleValue());
  } else if (value_.isInt64()) {
    MSRPBMessageSetInt64(message.get(), kInt, value_.int64Value());
  } else if (auto text = value_.stringValue()) {
    MSRPBMessageSetString(message.get(), kString, *text);
  }
  MSRPBMessageSetInt64(message.get(), kTimestamp, MSRMillisecondsFromSeconds(lastSetTimestamp_));
  return message;
}
