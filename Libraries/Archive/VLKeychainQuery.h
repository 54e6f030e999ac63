// One keychain query: the service and account of a generic-password item and
// its options, able to save, delete and fetch that item, or list items.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/KeyedArchiveObject.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Security/Status.h"

// Errors of the wrapper: code = the keychain status.
inline constexpr const char* kVLKeychainErrorDomain = "VLKeychainErrorDomain";
// The wrapper's own status: service, account or data missing.
inline constexpr sec::Status kVLKeychainErrorBadArguments = -1001;

enum VLKeychainQuerySynchronizationMode : unsigned {
  VLKeychainQuerySynchronizationModeAny = 0,  // matches local and synchronized items
  VLKeychainQuerySynchronizationModeNo = 1,
  VLKeychainQuerySynchronizationModeYes = 2,
};

class VLKeychainQuery {
 public:
  const std::optional<std::string>& account() const { return account_; }
  void setAccount(std::optional<std::string> v) { account_ = std::move(v); }
  const std::optional<std::string>& service() const { return service_; }
  void setService(std::optional<std::string> v) { service_ = std::move(v); }
  // Set on the item only when it is added.
  const std::optional<std::string>& label() const { return label_; }
  void setLabel(std::optional<std::string> v) { label_ = std::move(v); }
  const std::optional<ns::Data>& passwordData() const { return passwordData_; }
  void setPasswordData(std::optional<ns::Data> v) { passwordData_ = std::move(v); }
  const std::optional<std::string>& accessGroup() const { return accessGroup_; }
  void setAccessGroup(std::optional<std::string> v) { accessGroup_ = std::move(v); }
  VLKeychainQuerySynchronizationMode synchronizationMode() const { return synchronizationMode_; }
  void setSynchronizationMode(VLKeychainQuerySynchronizationMode m) { synchronizationMode_ = m; }

  // passwordData as UTF-8 text; absent when the data is empty, absent or not
  // UTF-8. Setting stores the text's bytes (absent clears the data).
  std::optional<std::string> password() const;
  void setPassword(const std::optional<std::string>& password);
  // passwordData as a keyed archive of an object; nil when the data is
  // empty, absent or no archive. Setting stores the object's archive.
  ns::KeyedArchiveObject passwordObject() const;
  void setPasswordObject(const ns::KeyedArchiveObject& object);

  // The keychain query for this item: class, and service, account and access
  // group when set, and the synchronizable value of the mode.
  ns::Dictionary query() const;

  // Adds the item, or updates the data (not the label) of the existing one.
  bool save(ns::Error* error);
  bool deleteItem(ns::Error* error);
  // Reads the item's data into passwordData.
  bool fetch(ns::Error* error);
  // Attribute dictionaries of every matching item; absent on failure (an
  // error only when the keychain answered one).
  std::optional<ns::Array> fetchAll(ns::Error* error);

  static bool isSynchronizationAvailable();
  // The error for a keychain status; absent for success.
  static std::optional<ns::Error> errorWithCode(sec::Status status);

 private:
  std::optional<std::string> account_;
  std::optional<std::string> service_;
  std::optional<std::string> label_;
  std::optional<ns::Data> passwordData_;
  std::optional<std::string> accessGroup_;
  VLKeychainQuerySynchronizationMode synchronizationMode_ = VLKeychainQuerySynchronizationModeAny;
};
