// ZULUserDefaults: preferences of one suite (or of the app itself), read and
// written straight through the preference functions (ns::Preferences), so
// that every object over the same suite on the same device sees the same
// values at once. Safe from any thread: the object keeps nothing but the
// suite's name.
//
// Accepted values: string, number, array, dictionary, date, data. A value
// without property-list form (null, a NUL character or a date outside
// 1933-2069, anywhere inside an array or dictionary too) is refused with the
// warning "I-ZUL000003"; an empty key with "I-ZUL000001" (read) or
// "I-ZUL000002" (write). Writing nothing removes the key.
//
// Every change is on disk as soon as the call returns. A write also asks for
// one synchronise 1.0 s after the last of a burst of writes, on the main
// run loop whatever thread wrote.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Value.h"

class ZULUserDefaults {
 public:
  static ZULUserDefaults& standardUserDefaults();

  // The app's own preferences.
  ZULUserDefaults();
  // A suite; nothing or an empty name is the app's own preferences.
  explicit ZULUserDefaults(const std::optional<std::string>& suiteName);
  // Cancels a pending synchronise.
  ~ZULUserDefaults();
  ZULUserDefaults(const ZULUserDefaults&) = delete;
  ZULUserDefaults& operator=(const ZULUserDefaults&) = delete;

  std::optional<ns::Value> objectForKey(std::string_view key) const;
  void setObject(const std::optional<ns::Value>& value, std::string_view key);
  void removeObjectForKey(std::string_view key);

  // A missing key reads as 0, 0.0 or false.
  int64_t integerForKey(std::string_view key) const;
  float floatForKey(std::string_view key) const;
  double doubleForKey(std::string_view key) const;
  bool boolForKey(std::string_view key) const;
  // objectForKey, without a type test.
  std::optional<ns::Value> stringForKey(std::string_view key) const { return objectForKey(key); }
  std::optional<ns::Value> arrayForKey(std::string_view key) const { return objectForKey(key); }
  std::optional<ns::Value> dictionaryForKey(std::string_view key) const { return objectForKey(key); }

  void setInteger(int64_t value, std::string_view key);
  void setFloat(float value, std::string_view key);
  void setDouble(double value, std::string_view key);
  void setBool(bool value, std::string_view key);

  // Synchronises the suite now; a failure is logged ("I-ZUL000004").
  void synchronize();
  // Replaces any pending synchronise of this object by one 1.0 s from now.
  void scheduleSynchronize();

  // Kept for callers; nothing reads it.
  bool isPreferenceFileExcluded() const { return isPreferenceFileExcluded_; }
  void setIsPreferenceFileExcluded(bool excluded) { isPreferenceFileExcluded_ = excluded; }

 private:
  const std::string appName_;
  std::mutex scheduleMutex_;  // one pending synchronise, whichever threads write
  bool isPreferenceFileExcluded_ = false;
};
