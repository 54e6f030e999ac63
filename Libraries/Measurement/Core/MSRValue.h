// One value of the measurement engine: a double, a 64-bit integer, a string
// or an array of parameter maps (the items of an array parameter). Values
// are immutable and cheap to copy; copies share an array's items.
//
//   auto value = MSRValue::valueFromObject(ns::Value(1.5));   // a double
//   if (value && value->isDouble()) use(value->doubleValue());
//
// Accessors of another type answer the neutral value (0.0, 0, none).
// Equality needs the same type and an equal value: int64 1 and double 1.0
// differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Value.h"

class MSRValue;
// Parameter name to value, in name order (the order messages are written in).
using MSRValueMap = std::map<std::string, MSRValue>;

class MSRValue {
 public:
  enum class Type : int64_t { Double = 0, Int64 = 1, String = 2, Array = 3 };

  static MSRValue initWithDouble(double value);
  static MSRValue initWithInt64(int64_t value);
  static MSRValue initWithString(std::string value);
  static MSRValue initWithArray(std::vector<MSRValueMap> items);

  // A string becomes a string value; a number a double value when it was
  // made as a float or double and an int64 value otherwise (a bool as 0 or
  // 1); an array of dictionaries an array value when `allowArray` (each
  // item's entries converted likewise, those that cannot be left out).
  // Anything else gives none with monitor message 35001 (level 0); no
  // object at all (null pointer) gives none with 35000.
  static std::optional<MSRValue> valueFromObject(const ns::Value* object, bool allowArray = false);
  static std::optional<MSRValue> valueFromObject(const ns::Value& object, bool allowArray = false) {
    return valueFromObject(&object, allowArray);
  }
  // A value object is kept as it is.
  static std::optional<MSRValue> valueFromObject(const MSRValue& value) { return value; }

  Type valueType() const { return type_; }
  bool isDouble() const { return type_ == Type::Double; }
  bool isInt64() const { return type_ == Type::Int64; }
  bool isString() const { return type_ == Type::String; }
  bool isArray() const { return type_ == Type::Array; }

  double doubleValue() const { return isDouble() ? double_ : 0.0; }
  int64_t int64Value() const { return isInt64() ? int64_ : 0; }
  std::optional<std::string> stringValue() const {
    return isString() ? std::optional<std::string>(string_) : std::nullopt;
  }
  // The items of an array value; none for the other types.
  const std::vector<MSRValueMap>* arrayValue() const { return isArray() ? items_.get() : nullptr; }

  // The boxed value's text: the number or the string; an array's items.
  std::string description() const;

  bool operator==(const MSRValue& other) const;
  // Equal values hash alike: the value's hash mixed with its type.
  size_t hash() const;

 private:
  explicit MSRValue(Type type) : type_(type) {}

  Type type_;
  double double_ = 0.0;
  int64_t int64_ = 0;
  std::string string_;
  std::shared_ptr<const std::vector<MSRValueMap>> items_;
};

template <>
struct std::hash<MSRValue> {
  size_t operator()(const MSRValue& value) const { return value.hash(); }
};
