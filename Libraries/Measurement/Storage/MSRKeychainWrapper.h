// One keychain value per identifier and app: a generic-password item with
// service = the app id and account = generic attribute = the identifier (a
// string), holding the value as UTF-8 data, readable always, on this device
// only. The engine keeps one this way (the previous first-open count under
// "_pfo").
//
// Items written by older releases hold the identifier in the generic
// attribute as data; the first read of the process rewrites the item it
// reads (that identifier and app only) with both attributes as strings.
//
// Keychain failures are not logged: they show as false or none.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

class MSRKeychainWrapper {
 public:
  // Stores `value` (non-empty) under the identifier, updating the item when
  // it holds a non-empty value, else adding one. Whether the keychain took
  // it.
  static bool upsertKeychainValue(const std::string& value, const std::string& identifier, const std::string& appID);
  // The stored value, or none.
  static std::optional<std::string> keychainValueWithIdentifier(const std::string& identifier,
                                                                const std::string& appID);
  // Deletes the item; the outcome is not reported.
  static void deleteKeychainValueWithIdentifier(const std::string& identifier, const std::string& appID);

  // The item's query; none when either argument is empty.
  static std::optional<ns::Dictionary> searchDirectoryForIdentifier(const std::string& identifier,
                                                                    const std::string& appID);
  // The item's data, or none on any failure.
  static std::optional<ns::Data> keychainDataWithIdentifier(const std::string& identifier, const std::string& appID);
  // Whether the item exists with an account or generic attribute that is
  // not a string.
  static bool isMigrationNeededForIdentifier(const std::string& identifier, const std::string& appID);
  // Rewrites both attributes as the identifier when migration is needed and
  // the item holds data.
  static void migrateKeychainDataToStringWithIdentifier(const std::string& identifier, const std::string& appID);
};
