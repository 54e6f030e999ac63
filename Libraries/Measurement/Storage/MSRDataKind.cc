#include "Libraries/Measurement/Storage/MSRDataKind.h"

#include "Libraries/Measurement/Core/MSRMeasurement.h"

namespace {

// The platform class an object of this type would be.
const char* classNameOf(const ns::Value& object) {
  switch (object.type()) {
    case ns::Value::Type::Null:
      return "NSNull";
    case ns::Value::Type::Bool:
    case ns::Value::Type::Integer:
    case ns::Value::Type::Real:
      return "NSNumber";
    case ns::Value::Type::String:
      return "NSString";
    case ns::Value::Type::Data:
      return "NSData";
    case ns::Value::Type::Date:
      return "NSDate";
    case ns::Value::Type::Array:
      return "NSArray";
    case ns::Value::Type::Dictionary:
      return "NSDictionary";
  }
  return "NSObject";
}

}  // namespace

std::string MSRDataKindLabel(int64_t dataKind, const std::string& suffix) {
  static constexpr const char* kLabels[] = {"Event name",
                                            "Event origin",
                                            "Event parameter name",
                                            "Event parameter value",
                                            "User property name",
                                            "User property value",
                                            "Screen parameter value",
                                            "Conditional user property origin",
                                            "Conditional user property name",
                                            "Conditional user property value"};
  std::string label = dataKind >= 0 && dataKind < 10 ? kLabels[dataKind] : "Object";
  return label + suffix;
}

bool MSRValidateValueObject(const MSRValueCandidate& object, int64_t dataKind, int64_t* failureCode) {
  if (failureCode) *failureCode = 0;
  if (std::holds_alternative<MSRValue>(object)) return true;
  if (const auto* other = std::get_if<ns::Value>(&object)) {
    if (failureCode) *failureCode = 5;
    MSRMeasurement::monitor()->logWithLevel(3, 13005, MSRDataKindLabel(dataKind, " must be a MSRValue instance. value"),
                                            classNameOf(*other));
    return false;
  }
  if (failureCode) *failureCode = 1;
  MSRMeasurement::monitor()->logWithLevel(3, 13004, MSRDataKindLabel(dataKind, " cannot be nil"));
  return false;
}
