// ZEVUdederozedaruIIDStore: what the legacy instance-ID library left on the
// device, read once to migrate it and deleted with the installation.
//
//   flag file    <Application Support>/Zorori/DozaveveInstanceID/
//                com.zorori.iid-keypair.plist, a dictionary; a value under
//                "|S|cre" marks that a legacy identifier exists
//   key items    RSA keys tagged "com.zorori.iid.keypair.public-" and
//                "com.zorori.iid.keypair.private-" followed by the main
//                bundle's identifier (no tag, so no key, without one)
//
// The identifier: SHA-1 of the public key's bytes, the first byte set to
// 0x70 | (byte & 0x0F), the first 8 bytes in URL-safe base64 without "=":
// 11 characters. Without the flag or the key there is none, and
// existingIID rejects with the promise library's validation error.
//
// Deletion removes "|S|cre" from the flag file (rewritten in place), then
// the public and the private key; what is not there counts as deleted. A
// flag file that is not a dictionary holds no flag and is left as it is.
// The work runs on the global utility queue; the store keeps no state.
#pragma once

#include <optional>
#include <string>

#include "Libraries/TelemetryFoundation/Promise.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

class ZEVUdederozedaruIIDStore {
 public:
  static inline constexpr const char* kFlagKey = "|S|cre";
  static inline constexpr const char* kPublicKeyTagPrefix = "com.zorori.iid.keypair.public-";
  static inline constexpr const char* kPrivateKeyTagPrefix = "com.zorori.iid.keypair.private-";

  Promises::Promise<std::string> existingIID() const;
  Promises::Promise<ns::Null> deleteExistingIID() const;

  // ----- The steps -----
  static bool hasPlistIIDFlag();
  static std::string plistPath();
  static std::string supportedDirectory();
  static std::optional<ns::Data> IIDPublicKeyData();
  static std::string IIDWithPublicKeyData(const ns::Data& publicKeyData);
  static ns::Data sha1WithData(const ns::Data& data);
  // Standard base64 with "/" as "_", "+" as "-" and no "=".
  static std::string base64URLEncodedStringWithData(const ns::Data& data);
  static bool deleteIIDFlagFromPlist(ns::Error* error);
  static bool deleteIID(ns::Error* error);
  // Success also when there was no such key; otherwise code 1,
  // "SecItemDelete (<status>)".
  static bool deleteKeychainKeyWithTagPrefix(const std::string& prefix, ns::Error* error);
  static ns::Dictionary keyPairQueryWithTag(const std::string& tag, bool returnData);
  // The prefix and the main bundle's identifier; nothing without one.
  static std::optional<std::string> keychainKeyTagWithPrefix(const std::string& prefix);
};
