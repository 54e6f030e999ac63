#include "Libraries/TelemetryFoundation/ZULKeychainUtils.h"

#include <mutex>

#include "Libraries/TelemetryFoundation/testing/ZULKeychainUtilsTesting.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Security/ItemKeys.h"

namespace {

std::mutex& functionsMutex() {
  static std::mutex mutex;
  return mutex;
}

ZULKeychainItemFunctions& installedFunctions() {
  static ZULKeychainItemFunctions functions;
  return functions;
}

// A copy, so a test replacing the record cannot pull it from under a call.
ZULKeychainItemFunctions keychain() {
  std::lock_guard lock(functionsMutex());
  return installedFunctions();
}

void clearError(std::optional<ns::Error>* error) {
  if (error) error->reset();
}

void setError(std::optional<ns::Error>* error, ns::Error value) {
  if (error) *error = std::move(value);
}

}  // namespace

void ZULKeychainUtilsSetFunctionsForTesting(ZULKeychainItemFunctions functions) {
  std::lock_guard lock(functionsMutex());
  installedFunctions() = std::move(functions);
}

std::optional<ns::Data> ZULKeychainUtils::getItemWithQuery(const ns::Dictionary& query,
                                                           std::optional<ns::Error>* error) {
  ns::Dictionary search = multiplatformQueryWithQuery(query);
  search.set(sec::kReturnData, true);
  search.set(sec::kMatchLimit, sec::kMatchLimitOne);
  ns::Value result;
  sec::Status status = keychain().copyMatching(search, &result);
  if (status == sec::kSuccess && result.isData()) {
    clearError(error);
    return *result.asData();
  }
  if (status == sec::kItemNotFound) {
    clearError(error);
    return std::nullopt;
  }
  setError(error, keychainErrorWithFunction("SecItemCopyMatching", status));
  return std::nullopt;
}

bool ZULKeychainUtils::setItem(const ns::Data& item, const ns::Dictionary& query, std::optional<ns::Error>* error) {
  ns::Dictionary itemQuery = multiplatformQueryWithQuery(query);
  std::optional<ns::Error> readError;
  std::optional<ns::Data> existing = getItemWithQuery(itemQuery, &readError);
  if (error && readError) {
    *error = std::move(readError);
    return false;
  }

  const char* function;
  sec::Status status;
  if (existing) {
    function = "SecItemUpdate";
    status = keychain().update(itemQuery, {{sec::kValueData, item}});
  } else {
    function = "SecItemAdd";
    ns::Dictionary attributes = itemQuery;
    attributes.set(sec::kAttrAccessible, sec::kAccessibleAfterFirstUnlockThisDeviceOnly);
    attributes.set(sec::kValueData, item);
    status = keychain().add(attributes);
  }
  if (status != sec::kSuccess) {
    setError(error, keychainErrorWithFunction(function, status));
    return false;
  }
  clearError(error);
  return true;
}

bool ZULKeychainUtils::removeItemWithQuery(const ns::Dictionary& query, std::optional<ns::Error>* error) {
  sec::Status status = keychain().remove(multiplatformQueryWithQuery(query));
  if (status == sec::kSuccess || status == sec::kItemNotFound) {
    clearError(error);
    return true;
  }
  setError(error, keychainErrorWithFunction("SecItemDelete", status));
  return false;
}

ns::Dictionary ZULKeychainUtils::multiplatformQueryWithQuery(const ns::Dictionary& query) {
  ns::Dictionary copy = query;
  copy.set(sec::kUseDataProtectionKeychain, true);
  return copy;
}

ns::Error ZULKeychainUtils::keychainErrorWithFunction(const std::string& function, sec::Status status) {
  return ns::Error(kZULKeychainErrorDomain, 0,
                   {{ns::kLocalizedFailureReasonErrorKey,
                     ns::format("%@ (%li)", function, static_cast<long>(status))}});
}
