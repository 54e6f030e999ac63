// One value model for property lists, JSON, user info and user defaults.
//
// A Value is null, a bool, an integer, a real, a string, data, a date, an
// array or a dictionary. Numbers remember which kind they were made as
// (bool, int, float, double) so that a property list or JSON document
// writes back what it read. Dictionaries keep insertion order (a file's
// order when read), so every iteration is deterministic. Null is a value;
// "absent" is an empty std::optional or a null pointer from find().
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "Platform/Foundation/Date.h"

namespace ns {

using Data = std::vector<uint8_t>;

class Value;
class Dictionary;
using Array = std::vector<Value>;

// A null value (distinct from an absent one).
struct Null {
  bool operator==(const Null&) const = default;
};

// An ordered string-keyed map. Iteration follows the order in which keys
// were first inserted. A small map (most of them: property lists, archived
// objects, notification infos) is searched in order; a larger one keeps a
// hashed index, made when it grows past the small size.
class Dictionary {
 public:
  using Entry = std::pair<std::string, Value>;

  Dictionary() = default;
  Dictionary(std::initializer_list<Entry> entries);
  Dictionary(const Dictionary& other);
  Dictionary(Dictionary&&) noexcept = default;
  Dictionary& operator=(const Dictionary& other);
  Dictionary& operator=(Dictionary&&) noexcept = default;
  ~Dictionary();

  // Defined below Value: the entries' size needs the complete type.
  size_t size() const;
  bool empty() const;
  bool contains(std::string_view key) const { return find(key) != nullptr; }

  // The value under key, or nullptr when absent.
  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);

  // Inserts or replaces; a replaced key keeps its position.
  void set(std::string key, Value value);
  // Removes key if present; returns whether it was there.
  bool remove(std::string_view key);
  void clear();

  // The value under key, inserting null first when absent.
  Value& operator[](std::string_view key);

  std::vector<std::string> keys() const;

  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  bool operator==(const Dictionary& other) const;  // same keys and values, any order

 private:
  static constexpr size_t kIndexedSize = 12;
  struct KeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
  };
  // The position of key in entries_, if there.
  std::optional<size_t> position(std::string_view key) const;
  void reindex();
  std::vector<Entry> entries_;
  // Empty while the map is small; else every key's position.
  std::unordered_map<std::string, size_t, KeyHash, std::equal_to<>> index_;
};

class Value {
 public:
  enum class Type { Null, Bool, Integer, Real, String, Data, Date, Array, Dictionary };
  // How a number was made; the platform keeps this and so do we.
  enum class NumberKind { None, Bool, Int, UInt, Float, Double };

  Value() : storage_(Null{}) {}
  Value(Null) : storage_(Null{}) {}
  Value(std::nullptr_t) : storage_(Null{}) {}
  Value(bool b) : storage_(b) {}
  Value(int i) : storage_(static_cast<int64_t>(i)) {}
  Value(long i) : storage_(static_cast<int64_t>(i)) {}
  Value(long long i) : storage_(static_cast<int64_t>(i)) {}
  Value(unsigned u) : storage_(static_cast<int64_t>(u)) {}
  Value(unsigned long u);
  Value(unsigned long long u);
  Value(float f) : storage_(static_cast<double>(f)), isFloat_(true) {}
  Value(double d) : storage_(d) {}
  Value(const char* s) : storage_(std::string(s)) {}
  Value(std::string s) : storage_(std::move(s)) {}
  Value(std::string_view s) : storage_(std::string(s)) {}
  Value(ns::Data d) : storage_(std::move(d)) {}
  Value(Date d) : storage_(d) {}
  Value(Array a) : storage_(std::make_unique<Array>(std::move(a))) {}
  Value(Dictionary d) : storage_(std::make_unique<Dictionary>(std::move(d))) {}

  Value(const Value& other);
  Value(Value&&) noexcept = default;
  Value& operator=(const Value& other);
  Value& operator=(Value&&) noexcept = default;
  ~Value();

  Type type() const { return static_cast<Type>(storage_.index()); }
  NumberKind numberKind() const;
  bool isNull() const { return type() == Type::Null; }
  bool isBool() const { return type() == Type::Bool; }
  bool isInteger() const { return type() == Type::Integer; }
  bool isReal() const { return type() == Type::Real; }
  bool isNumber() const { return isBool() || isInteger() || isReal(); }
  bool isString() const { return type() == Type::String; }
  bool isData() const { return type() == Type::Data; }
  bool isDate() const { return type() == Type::Date; }
  bool isArray() const { return type() == Type::Array; }
  bool isDictionary() const { return type() == Type::Dictionary; }
  // An integer made from an unsigned value above INT64_MAX keeps its bits.
  bool isUnsigned() const { return isUnsigned_; }

  // Typed access; each returns nullptr when the value is of another type.
  const std::string* asString() const { return std::get_if<std::string>(&storage_); }
  const ns::Data* asData() const { return std::get_if<ns::Data>(&storage_); }
  const Date* asDate() const { return std::get_if<Date>(&storage_); }
  const Array* asArray() const;
  Array* asArray();
  const Dictionary* asDictionary() const;
  Dictionary* asDictionary();

  // Number conversions with the platform's rules: numbers convert between
  // kinds; strings are parsed (leading white space, sign, leading digits,
  // 0 when none, saturation at the type's limits); other types give 0.
  bool boolValue() const;      // strings: YES for a leading Y/y/T/t/1-9 after white space and sign/zeros
  int64_t integerValue() const;
  uint64_t unsignedValue() const;
  double doubleValue() const;
  // The string itself, or a number's description; empty for other types.
  std::string stringValue() const;

  // Dictionary shortcuts: null pointer when this is not a dictionary or the
  // key is absent.
  const Value* find(std::string_view key) const;

  // Deep equality: numbers compare by value across kinds (1 == 1.0 == true
  // as the platform's numbers do); everything else by type and contents.
  bool operator==(const Value& other) const;

  // A short human description (for logs and error texts).
  std::string description() const;

 private:
  using Storage = std::variant<Null, bool, int64_t, double, std::string, ns::Data, Date,
                               std::unique_ptr<Array>, std::unique_ptr<Dictionary>>;
  Storage storage_;
  bool isFloat_ = false;
  bool isUnsigned_ = false;
};

inline size_t Dictionary::size() const { return entries_.size(); }
inline bool Dictionary::empty() const { return entries_.empty(); }

// String-to-number rules of the platform, also used by Value.
int64_t integerValueOfString(std::string_view s);
double doubleValueOfString(std::string_view s);
bool boolValueOfString(std::string_view s);

}  // namespace ns
