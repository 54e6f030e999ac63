// User defaults: per-domain key/value settings kept as binary property
// lists "<domain>.plist" under the device's Library/Preferences. The
// standard defaults use the main bundle's identifier as domain; a suite
// (e.g. an app group shared by Quillbox and Jotshare) uses its name.
//
// Every set is written through at once, under an advisory lock, by merging
// the changed key into the file's current content, so two processes never
// lose each other's keys and nothing is pending at exit. Reads notice
// another process's writes (the file is read again when it changed).
// Registered defaults live in memory only and are never written.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

namespace ns {

class UserDefaultsStore;

class UserDefaults {
 public:
  // One instance per device; a new device (a test's) gets a fresh one.
  static std::shared_ptr<UserDefaults> standardUserDefaults();
  // Forgets the standard instance (its values stay on disk).
  static void resetStandardUserDefaults();
  // The defaults of a named suite; an empty name gives the standard
  // defaults; null for "NSGlobalDomain" and for the app's own identifier,
  // as the platform refuses both as suites.
  static std::shared_ptr<UserDefaults> withSuiteName(const std::string& suiteName);

  const std::string& domainName() const { return domain_; }

  // The stored value, else the registered one; absent when neither.
  std::optional<Value> objectForKey(std::string_view key) const;
  // Typed readers: absent (or 0 / NO) when the key is missing or holds a
  // value of another kind. Strings also read numbers; numbers also read
  // strings ("12" gives 12; "YES", "true" and digits give YES).
  std::optional<std::string> stringForKey(std::string_view key) const;
  std::optional<Array> arrayForKey(std::string_view key) const;
  std::optional<std::vector<std::string>> stringArrayForKey(std::string_view key) const;
  std::optional<Dictionary> dictionaryForKey(std::string_view key) const;
  std::optional<Data> dataForKey(std::string_view key) const;
  std::optional<Date> dateForKey(std::string_view key) const;
  // A URL stored with setURL, or a string taken as a file path.
  std::optional<URL> URLForKey(std::string_view key) const;
  int64_t integerForKey(std::string_view key) const;
  double doubleForKey(std::string_view key) const;
  float floatForKey(std::string_view key) const;
  bool boolForKey(std::string_view key) const;

  // Stores a property-list value; null removes the key. Throws
  // kInvalidArgumentException for a value without property-list form
  // (hasPropertyListForm: null inside, a NUL character, a far date).
  void setObject(const Value& value, std::string_view key);
  void setInteger(int64_t value, std::string_view key) { setObject(Value(static_cast<long long>(value)), key); }
  void setDouble(double value, std::string_view key) { setObject(Value(value), key); }
  void setFloat(float value, std::string_view key) { setObject(Value(value), key); }
  void setBool(bool value, std::string_view key) { setObject(Value(value), key); }
  void setURL(const std::optional<URL>& url, std::string_view key);
  void removeObjectForKey(std::string_view key);

  // Adds to the registration domain (memory only; later calls win per key).
  void registerDefaults(const Dictionary& defaults);
  // Registered values overlaid with the stored ones.
  Dictionary dictionaryRepresentation() const;
  // Reads other processes' changes and retries any write that failed;
  // false when a write still fails.
  bool synchronize();

  // Whole domains by name (suites or app identifiers), read from and
  // written to their files directly.
  std::optional<Dictionary> persistentDomainForName(const std::string& domainName) const;
  void setPersistentDomain(const Dictionary& domain, const std::string& domainName);
  void removePersistentDomainForName(const std::string& domainName);

  // The standard domain's name: the main bundle's identifier, else the
  // program's name.
  static std::string applicationDomainName();

 private:
  UserDefaults(std::string domain, std::string preferencesDirectory);

  std::string domain_;
  std::string preferencesDirectory_;
  std::shared_ptr<UserDefaultsStore> store_;
  mutable std::mutex registeredMutex_;
  Dictionary registered_;
};

}  // namespace ns
