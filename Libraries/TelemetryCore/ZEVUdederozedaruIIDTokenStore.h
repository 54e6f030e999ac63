// ZEVUdederozedaruIIDTokenStore: the legacy instance-ID library's default
// token, read once to migrate it.
//
// The token is a generic-password item: generic attribute
// "com.zorori.iid-tokens", account = the main bundle's identifier (left
// out when empty), service = "<sender ID>:*". Its data is a keyed archive
// whose root object is of class "ZOVInstanceIDTokenInfo", decoded here as
// ZEVUdederozedaruIIDTokenInfo. No item rejects with the keychain's error,
// or "IID token data stored in Keychain is corrupted or in an incompatible
// format." (code 0), which also answers an empty or missing token. The work
// runs on the global utility queue.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/TelemetryFoundation/Promise.h"
#include "Platform/Foundation/KeyedArchiveCoding.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/Value.h"

// The legacy token as archived; secure coding. Encoding writes nothing.
class ZEVUdederozedaruIIDTokenInfo : public ns::Coding {
 public:
  static inline constexpr const char* kClassName = "ZEVUdederozedaruIIDTokenInfo";
  static inline constexpr const char* kLegacyClassName = "ZOVInstanceIDTokenInfo";

  std::optional<std::string> token;

  std::string className() const override { return kClassName; }
  void encodeWithCoder(ns::KeyedArchiver&) const override {}
  static std::shared_ptr<ns::Coding> initWithCoder(ns::KeyedUnarchiver& coder);
  // Makes the class known to keyed archives (once).
  static void registerClass();
};

class ZEVUdederozedaruIIDTokenStore {
 public:
  static inline constexpr const char* kTokensGeneric = "com.zorori.iid-tokens";

  explicit ZEVUdederozedaruIIDTokenStore(std::string ZCMSenderID);

  const std::string& ZCMSenderID() const { return ZCMSenderID_; }

  Promises::Promise<std::string> existingIIDDefaultToken() const;

  // ----- The steps -----
  // The bytes, as a data value.
  Promises::Promise<ns::Value> IIDDefaultTokenData() const;
  ns::Dictionary IIDDefaultTokenDataKeychainQuery() const;
  static std::string IIDAppIdentifier();
  static std::string serviceKeyForAuthorizedEntity(const std::string& authorizedEntity, const std::string& scope);
  static Promises::Promise<std::string> IIDCheckinWithData(const ns::Data& data);

 private:
  std::string ZCMSenderID_;
};
