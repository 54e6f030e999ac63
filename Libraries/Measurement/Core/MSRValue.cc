#include "Libraries/Measurement/Core/MSRValue.h"

#include "Libraries/Measurement/Core/MSRMeasurement.h"

MSRValue MSRValue::initWithDouble(double value) {
  MSRValue out(Type::Double);
  out.double_ = value;
  return out;
}

MSRValue MSRValue::initWithInt64(int64_t value) {
  MSRValue out(Type::Int64);
  out.int64_ = value;
  return out;
}

MSRValue MSRValue::initWithString(std::string value) {
  MSRValue out(Type::String);
  out.string_ = std::move(value);
  return out;
}

MSRValue MSRValue::initWithArray(std::vector<MSRValueMap> items) {
  MSRValue out(Type::Array);
  out.items_ = std::make_shared<const std::vector<MSRValueMap>>(std::move(items));
  return out;
}

namespace {

std::optional<MSRValue> arrayFromObject(const ns::Array& array) {
  std::vector<MSRValueMap> items;
  for (const ns::Value& item : array) {
    const ns::Dictionary* entries = item.asDictionary();
    if (!entries) return std::nullopt;
    MSRValueMap converted;
    for (const auto& [name, entry] : *entries) {
      if (auto value = MSRValue::valueFromObject(entry)) converted.emplace(name, *value);
    }
    items.push_back(std::move(converted));
  }
  return MSRValue::initWithArray(std::move(items));
}

}  // namespace

std::optional<MSRValue> MSRValue::valueFromObject(const ns::Value* object, bool allowArray) {
  if (!object) {
    MSRMeasurement::monitor()->logWithLevel(0, 35000, "Cannot create Value type with nil value");
    return std::nullopt;
  }
  if (const std::string* text = object->asString()) return initWithString(*text);
  if (object->isReal()) return initWithDouble(object->doubleValue());
  if (object->isInteger() || object->isBool()) return initWithInt64(object->integerValue());
  if (allowArray && object->isArray()) {
    if (auto array = arrayFromObject(*object->asArray())) return array;
  }
  MSRMeasurement::monitor()->logWithLevel(
      0, 35001,
      "Cannot create Value type with unsupported value. The Value has to be NSNumber, NSString or NSArray (if "
      "supported). Value",
      *object);
  return std::nullopt;
}

std::string MSRValue::description() const {
  switch (type_) {
    case Type::Double:
      return ns::Value(double_).description();
    case Type::Int64:
      return std::to_string(int64_);
    case Type::String:
      return string_;
    case Type::Array: {
      std::string out = "(";
      for (size_t i = 0; i < items_->size(); ++i) {
        out += i ? ", {" : "{";
        bool first = true;
        for (const auto& [name, value] : (*items_)[i]) {
          out += (first ? "" : "; ") + name + " = " + value.description();
          first = false;
        }
        out += "}";
      }
      return out + ")";
    }
  }
  return {};
}

bool MSRValue::operator==(const MSRValue& other) const {
  if (type_ != other.type_) return false;
  switch (type_) {
    case Type::Double:
      return double_ == other.double_;
    case Type::Int64:
      return int64_ == other.int64_;
    case Type::String:
      return string_ == other.string_;
    case Type::Array:
      return *items_ == *other.items_;
  }
  return false;
}

size_t MSRValue::hash() const {
  size_t valueHash = 0;
  switch (type_) {
    case Type::Double:
      // 0.0 and -0.0 are equal, so they must hash alike.
      valueHash = double_ == 0.0 ? 0 : std::hash<double>{}(double_);
      break;
    case Type::Int64:
      valueHash = std::hash<int64_t>{}(int64_);
      break;
    case Type::String:
      valueHash = std::hash<std::string>{}(string_);
      break;
    case Type::Array:
      valueHash = items_->size();
      break;
  }
  return valueHash ^ (static_cast<size_t>(type_) * 31);
}
