// A key-value store of small measurement settings: the persisted
// configuration runs on one (MSRPersistentDictionary, a property list in
// Application Support, or MSRUserDefaults, a defaults suite).
//
// Keys are non-empty strings; values are strings, numbers, arrays,
// dictionaries, dates or data. Writing no value removes the key. The typed
// readers answer 0 (or none) when the key is missing or holds a value of
// another kind, and never convert between strings and numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Value.h"

class MSRConfigStore {
 public:
  virtual ~MSRConfigStore() = default;

  virtual std::optional<ns::Value> objectForKey(std::string_view key) = 0;
  std::optional<ns::Array> arrayForKey(std::string_view key);
  std::optional<ns::Dictionary> dictionaryForKey(std::string_view key);
  std::optional<std::string> stringForKey(std::string_view key);
  int64_t integerForKey(std::string_view key);
  float floatForKey(std::string_view key);
  double doubleForKey(std::string_view key);
  bool boolForKey(std::string_view key);

  virtual void setObject(const std::optional<ns::Value>& object, std::string_view key) = 0;
  void setFloat(float value, std::string_view key) { setObject(ns::Value(value), key); }
  void setDouble(double value, std::string_view key) { setObject(ns::Value(value), key); }
  void setInteger(int64_t value, std::string_view key) { setObject(ns::Value(static_cast<long long>(value)), key); }
  void setBool(bool value, std::string_view key) { setObject(ns::Value(value), key); }
  virtual void removeObjectForKey(std::string_view key) { setObject(std::nullopt, key); }

  // Removes every value of the store.
  virtual void clearAllData() = 0;
  // Brings the store's disk copy up to date, as far as the store does that.
  virtual void synchronize() = 0;
};
