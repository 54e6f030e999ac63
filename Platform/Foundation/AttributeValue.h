// The value of one text attribute: nothing, a plain ns::Value (numbers such
// as an underline style, strings, data) or an immutable object of a higher
// layer (a font, a colour, a paragraph style, an attachment). Values compare
// by value, so two texts with equal fonts are equal texts; Foundation knows
// those objects only through AttributeObject.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "Platform/Foundation/Value.h"

namespace ns {

// An immutable object used as an attribute value.
class AttributeObject {
 public:
  virtual ~AttributeObject() = default;
  // Value equality; `other` may be of any AttributeObject type.
  virtual bool isEqual(const AttributeObject& other) const = 0;
  virtual size_t hash() const = 0;
  virtual std::string description() const = 0;
};

class AttributeValue {
 public:
  AttributeValue() = default;  // nil
  AttributeValue(Value value) : value_(std::move(value)), hasValue_(true) {}
  // Plain values keep their kind: 1.5 stays a real, true a bool.
  AttributeValue(bool flag) : AttributeValue(Value(flag)) {}
  AttributeValue(int number) : AttributeValue(Value(number)) {}
  AttributeValue(long number) : AttributeValue(Value(number)) {}
  AttributeValue(long long number) : AttributeValue(Value(number)) {}
  AttributeValue(double number) : AttributeValue(Value(number)) {}
  AttributeValue(const char* text) : AttributeValue(Value(text)) {}
  AttributeValue(std::string text) : AttributeValue(Value(std::move(text))) {}
  AttributeValue(std::shared_ptr<const AttributeObject> object) : object_(std::move(object)) {}
  template <class T>
  AttributeValue(std::shared_ptr<T> object)
      : AttributeValue(std::shared_ptr<const AttributeObject>(std::move(object))) {}

  bool isNil() const { return !hasValue_ && !object_; }
  explicit operator bool() const { return !isNil(); }

  // The plain value, or nullptr when this holds an object or nothing.
  const Value* value() const { return hasValue_ ? &value_ : nullptr; }
  const std::shared_ptr<const AttributeObject>& object() const { return object_; }
  // The object as T, or nullptr when it is not one.
  template <class T>
  std::shared_ptr<const T> as() const {
    return std::dynamic_pointer_cast<const T>(object_);
  }

  // The platform reads numbers' truth from either form; objects count as true.
  bool boolValue() const { return hasValue_ ? value_.boolValue() : object_ != nullptr; }
  int64_t integerValue() const { return hasValue_ ? value_.integerValue() : 0; }

  bool operator==(const AttributeValue& other) const;
  std::string description() const;

 private:
  Value value_;
  std::shared_ptr<const AttributeObject> object_;
  bool hasValue_ = false;
};

}  // namespace ns
