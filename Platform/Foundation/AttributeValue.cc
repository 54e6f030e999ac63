#include "Platform/Foundation/AttributeValue.h"

namespace ns {

bool AttributeValue::operator==(const AttributeValue& other) const {
  if (hasValue_ != other.hasValue_) return false;
  if (hasValue_) return value_ == other.value_;
  if (!object_ || !other.object_) return object_ == other.object_;
  return object_ == other.object_ || object_->isEqual(*other.object_);
}

std::string AttributeValue::description() const {
  if (hasValue_) return value_.description();
  if (object_) return object_->description();
  return "(null)";
}

}  // namespace ns
