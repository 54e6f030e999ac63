// Generic-password items in one call each: the common cases of
// VLKeychainQuery with service and account, plus the accessibility that
// every save and listing of the process uses.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

class VLKeychain {
 public:
  // The item's data as UTF-8 text; absent when missing (or on failure).
  // Data that is not UTF-8 also reads as absent, with the errSecDecode
  // error, so that it is not taken for a missing item.
  static std::optional<std::string> passwordForService(const std::string& service, const std::string& account,
                                                       ns::Error* error = nullptr);
  static std::optional<ns::Data> passwordDataForService(const std::string& service, const std::string& account,
                                                        ns::Error* error = nullptr);
  static bool deletePasswordForService(const std::string& service, const std::string& account,
                                       ns::Error* error = nullptr);
  static bool setPassword(const std::string& password, const std::string& service, const std::string& account,
                          ns::Error* error = nullptr);
  static bool setPasswordData(const ns::Data& password, const std::string& service, const std::string& account,
                              ns::Error* error = nullptr);
  // Attribute dictionaries of the service's items / of every item.
  static std::optional<ns::Array> accountsForService(const std::string& service, ns::Error* error = nullptr);
  static std::optional<ns::Array> allAccounts(ns::Error* error = nullptr);

  // One of the keychain's accessibility values (sec::kAccessible*), or none;
  // applied to saves and listings of the whole process.
  static std::optional<std::string> accessibilityType();
  static void setAccessibilityType(std::optional<std::string> type);
};
