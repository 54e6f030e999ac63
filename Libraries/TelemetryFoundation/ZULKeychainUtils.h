// ZULKeychainUtils: the keychain item calls (sec::) as the utilities use
// them, with their statuses turned into answers and errors.
//
// Error out-parameters follow the platform's rule that success clears them:
// each call sets `*error` (when `error` is not null) to the failure, or to
// nothing on success.
//
//   not found (-25300)   reading: no data, no error; removing: success
//   any other failure    domain "com.zul.keychain.ErrorDomain", code 0,
//                        failure reason "<function> (<status>)", for
//                        example "SecItemAdd (-25299)"
//
// Safe from any thread (the keychain is).
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Security/Status.h"

inline constexpr const char* kZULKeychainErrorDomain = "com.zul.keychain.ErrorDomain";

class ZULKeychainUtils {
 public:
  // The item's data (match limit one), or nothing: when there is no such
  // item (no error) or the search failed (the "SecItemCopyMatching" error,
  // also for a success that returned no data).
  static std::optional<ns::Data> getItemWithQuery(const ns::Dictionary& query, std::optional<ns::Error>* error);

  // Stores `item` as the data of the query's item: updates an existing item,
  // otherwise adds one accessible after first unlock on this device only.
  // When a caller asking for the error sees the preliminary read fail, that
  // error is the answer; otherwise a failure is the "SecItemUpdate" or
  // "SecItemAdd" error.
  static bool setItem(const ns::Data& item, const ns::Dictionary& query, std::optional<ns::Error>* error);

  // Deletes the query's items; none to delete is success.
  static bool removeItemWithQuery(const ns::Dictionary& query, std::optional<ns::Error>* error);

  // A copy of `query` asking for the data-protection keychain (every
  // supported system version has it).
  static ns::Dictionary multiplatformQueryWithQuery(const ns::Dictionary& query);

  static ns::Error keychainErrorWithFunction(const std::string& function, sec::Status status);
};
