#include "Libraries/WireMessages/MSRPBValueClassName.h"

std::string MSRPBValueClassName(const ns::Value& value) {
  switch (value.type()) {
    case ns::Value::Type::Null: return "NSNull";
    case ns::Value::Type::Bool:
    case ns::Value::Type::Integer:
    case ns::Value::Type::Real: return "NSNumber";
    case ns::Value::Type::String: return "NSString";
    case ns::Value::Type::Data: return "NSData";
    case ns::Value::Type::Date: return "NSDate";
    case ns::Value::Type::Array: return "NSArray";
    case ns::Value::Type::Dictionary: return "NSDictionary";
  }
  return "NSObject";
}
