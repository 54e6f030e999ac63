// For tests: the keychain functions ZULKeychainUtils calls, replaceable so
// that a test can count the calls or answer a status of its choosing
// (usually by wrapping the real ones).
#pragma once

#include <functional>

#include "Platform/Foundation/Value.h"
#include "Platform/Security/Keychain.h"

struct ZULKeychainItemFunctions {
  std::function<sec::Status(const ns::Dictionary& query, ns::Value* result)> copyMatching = sec::copyMatching;
  std::function<sec::Status(const ns::Dictionary& attributes)> add = sec::addItem;
  std::function<sec::Status(const ns::Dictionary& query, const ns::Dictionary& changes)> update = sec::updateItems;
  std::function<sec::Status(const ns::Dictionary& query)> remove = sec::deleteItems;
};

// Replaces the functions for every later call; the default record puts the
// real ones back.
void ZULKeychainUtilsSetFunctionsForTesting(ZULKeychainItemFunctions functions);
