// One node of an object graph that a keyed archive carries: nil, a plain
// value (string, number, data, date, null, and arrays and dictionaries made
// only of those), an object of a class implementing ns::Coding, or an array
// or dictionary that holds such objects.
//
// Decoding gives plain values as a Value wherever a collection holds nothing
// else, so `value()` reaches most of a decoded graph directly. Dictionaries
// have string keys and keep their order.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "Platform/Foundation/KeyedArchiveCoding.h"
#include "Platform/Foundation/Value.h"

namespace ns {

class KeyedArchiveObject {
 public:
  using Array = std::vector<KeyedArchiveObject>;
  using Dictionary = std::vector<std::pair<std::string, KeyedArchiveObject>>;

  KeyedArchiveObject() = default;  // nil
  KeyedArchiveObject(std::nullptr_t) {}
  KeyedArchiveObject(Value value) : node_(std::move(value)) {}
  KeyedArchiveObject(const char* s) : node_(Value(s)) {}
  KeyedArchiveObject(std::string s) : node_(Value(std::move(s))) {}
  KeyedArchiveObject(std::shared_ptr<Coding> object);
  template <class T>
    requires std::derived_from<T, Coding>
  KeyedArchiveObject(std::shared_ptr<T> object) : KeyedArchiveObject(std::shared_ptr<Coding>(std::move(object))) {}

  // Collections that may hold objects of coding classes.
  static KeyedArchiveObject array(Array items);
  static KeyedArchiveObject dictionary(Dictionary entries);

  bool isNil() const { return std::holds_alternative<std::monostate>(node_); }
  explicit operator bool() const { return !isNil(); }

  // The plain value, or nullptr.
  const Value* value() const { return std::get_if<Value>(&node_); }
  // The object of a coding class, or nullptr.
  std::shared_ptr<Coding> object() const;
  template <class T>
  std::shared_ptr<T> objectAs() const {
    return std::dynamic_pointer_cast<T>(object());
  }
  // The items of an array holding coding objects, or of a plain array
  // (converted); nullopt for anything else.
  std::optional<Array> arrayItems() const;
  // The entries of a dictionary, likewise.
  std::optional<Dictionary> dictionaryEntries() const;
  // The whole graph as one Value, or nullopt when it holds coding objects
  // or is nil.
  std::optional<Value> toValue() const;

 private:
  using Node = std::variant<std::monostate, Value, std::shared_ptr<Coding>, std::shared_ptr<const Array>,
                            std::shared_ptr<const Dictionary>>;
  Node node_;

  friend class KeyedArchiver;
  friend class KeyedUnarchiver;
  const Array* mixedArray() const;
  const Dictionary* mixedDictionary() const;
};

}  // namespace ns
