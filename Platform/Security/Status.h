// The keychain's result codes. Every keychain call answers one of them;
// callers compare against these values, so they are the platform's numbers.
#pragma once

#include <cstdint>

namespace sec {

using Status = int32_t;

inline constexpr Status kSuccess = 0;
inline constexpr Status kUnimplemented = -4;           // the operation is not supported
inline constexpr Status kParam = -50;                  // a query or attribute is malformed
inline constexpr Status kAllocate = -108;              // out of memory
inline constexpr Status kNotAvailable = -25291;        // the keychain file cannot be used
inline constexpr Status kAuthFailed = -25293;
inline constexpr Status kDuplicateItem = -25299;       // an item with the same key exists
inline constexpr Status kItemNotFound = -25300;        // nothing matched
inline constexpr Status kInteractionNotAllowed = -25308;
inline constexpr Status kDecode = -26275;              // stored data cannot be read back

}  // namespace sec
