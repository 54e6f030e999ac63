// The keys and values of keychain queries and item attributes.
//
// A query or an attribute set is an ns::Dictionary under these keys. Two
// classes exist here: generic passwords, whose identity is their service,
// account, access group and synchronizable flag; and keys (KeyItemQuery.h),
// whose identity is their application tag and key type.
#pragma once

namespace sec {

// Item class.
inline constexpr const char* kClass = "class";
inline constexpr const char* kClassGenericPassword = "genericPassword";
inline constexpr const char* kClassKey = "key";

// Attributes of key items.
inline constexpr const char* kAttrApplicationTag = "applicationTag";  // data
inline constexpr const char* kAttrKeyType = "keyType";                // one of kAttrKeyType*
inline constexpr const char* kAttrKeyTypeRSA = "rsa";

// Attributes (strings unless noted).
inline constexpr const char* kAttrService = "service";
inline constexpr const char* kAttrAccount = "account";
inline constexpr const char* kAttrAccessGroup = "accessGroup";
inline constexpr const char* kAttrLabel = "label";
inline constexpr const char* kAttrGeneric = "generic";                   // data or string, kept as given
inline constexpr const char* kAttrAccessible = "accessible";             // one of kAccessible*
inline constexpr const char* kAttrSynchronizable = "synchronizable";     // bool, or kSynchronizableAny in queries
inline constexpr const char* kAttrCreationDate = "creationDate";         // date, read only
inline constexpr const char* kAttrModificationDate = "modificationDate"; // date, read only

// The secret itself (data).
inline constexpr const char* kValueData = "valueData";

// What a search returns and how many items it matches.
inline constexpr const char* kReturnData = "returnData";             // bool
inline constexpr const char* kReturnAttributes = "returnAttributes"; // bool
inline constexpr const char* kMatchLimit = "matchLimit";             // kMatchLimitOne (default) or kMatchLimitAll
inline constexpr const char* kMatchLimitOne = "one";
inline constexpr const char* kMatchLimitAll = "all";

// A query's synchronizable value that matches synchronized and local items
// alike. Adding an item with it adds a local item.
inline constexpr const char* kSynchronizableAny = "any";

// Asks for the data-protection keychain (bool) in a query or a new item's
// attributes. There is one keychain here, so it is accepted and changes
// nothing.
inline constexpr const char* kUseDataProtectionKeychain = "useDataProtectionKeychain";

// When an item may be read. Stored and matched; the host never locks.
inline constexpr const char* kAccessibleWhenUnlocked = "whenUnlocked";  // default when adding
inline constexpr const char* kAccessibleAfterFirstUnlock = "afterFirstUnlock";
inline constexpr const char* kAccessibleAlways = "always";
inline constexpr const char* kAccessibleWhenPasscodeSetThisDeviceOnly = "whenPasscodeSetThisDeviceOnly";
inline constexpr const char* kAccessibleWhenUnlockedThisDeviceOnly = "whenUnlockedThisDeviceOnly";
inline constexpr const char* kAccessibleAfterFirstUnlockThisDeviceOnly = "afterFirstUnlockThisDeviceOnly";
inline constexpr const char* kAccessibleAlwaysThisDeviceOnly = "alwaysThisDeviceOnly";

}  // namespace sec
