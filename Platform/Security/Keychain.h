// The keychain: generic-password and key items (KeyItemQuery.h) kept in one SQLite file of the
// current device (ns::Device::keychainPath()), readable by its owner only.
//
// Queries and attributes are dictionaries under the keys of ItemKeys.h;
// every call answers a Status of Status.h. "Nothing matched" is always
// kItemNotFound and never stands for another failure; a file that cannot be
// opened or written is kNotAvailable, a malformed query kParam. Calls are
// thread-safe and see each other's writes at once, also across processes
// sharing the device.
#pragma once

#include <string>

#include "Platform/Foundation/Value.h"
#include "Platform/Security/ItemKeys.h"
#include "Platform/Security/Status.h"

namespace sec {

// Searches items. Query: kClass (required), any attributes to match, and
// kReturnData / kReturnAttributes / kMatchLimit. A query without
// kAttrSynchronizable matches local items only. `result` (may be null)
// receives the data, or the attribute dictionary (holding kValueData too
// when both are asked), of the first match, or an array of them with
// kMatchLimitAll; it stays untouched when nothing is asked or on failure.
Status copyMatching(const ns::Dictionary& query, ns::Value* result);

// Adds one item: kClass, its attributes and kValueData. kDuplicateItem when
// an item with the same service, account, access group and synchronizable
// flag exists. Accessibility defaults to kAccessibleWhenUnlocked.
Status addItem(const ns::Dictionary& attributes);

// Changes every item the query matches (no return or limit keys) to the
// given attributes and data. kItemNotFound when none matches,
// kDuplicateItem when the change would make two items the same.
Status updateItems(const ns::Dictionary& query, const ns::Dictionary& attributesToUpdate);

// Saves in one transaction: changes the items the query matches (as
// updateItems), or, when none does, adds one item with `attributesToAdd`
// (as addItem). Two processes saving the same new item at once therefore
// both succeed, the later one updating what the earlier one added.
Status updateOrAddItem(const ns::Dictionary& query, const ns::Dictionary& attributesToUpdate,
                       const ns::Dictionary& attributesToAdd);

// Deletes every item the query matches; kItemNotFound when none does.
Status deleteItems(const ns::Dictionary& query);

}  // namespace sec
