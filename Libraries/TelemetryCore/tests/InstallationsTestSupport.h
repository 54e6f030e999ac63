// For the installations tests: promises settled on the main run loop, the
// legacy instance-ID traces put in place on the test's device, and the
// installation flags as the defaults file holds them.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/ZEVUdederozedaruIIDStore.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruIIDTokenStore.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruStore.h"
#include "Libraries/TelemetryCore/tests/HeartbeatTestSupport.h"
#include "Libraries/TelemetryFoundation/Promise.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Security/Keychain.h"

namespace zov_testing {

// Pumps the main run loop until `promise` is resolved (10 s at most).
template <class T>
::testing::AssertionResult settles(const Promises::Promise<T>& promise) {
  if (dispatch::RunLoop::main().runUntil([&] { return !promise.objCPromise()->isPending(); }, 10)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "still pending";
}

// The failure reason of a rejected promise, or "" when it did not reject.
template <class T>
std::string rejectionReason(const Promises::Promise<T>& promise) {
  auto error = promise.error();
  if (!error) return "";
  const ns::Value* reason = error->nsError().userInfo().find(ns::kLocalizedFailureReasonErrorKey);
  return reason ? reason->stringValue() : error->nsError().description();
}

inline ns::Data bytesOf(const std::string& text) { return ns::Data(text.begin(), text.end()); }

// The legacy token as the legacy library archived it.
class LegacyTokenInfo : public ns::Coding {
 public:
  explicit LegacyTokenInfo(std::string token) : token_(std::move(token)) {}
  std::string className() const override { return "ZOVInstanceIDTokenInfo"; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override { coder.encodeString(token_, "token"); }

 private:
  std::string token_;
};

// The legacy library's traces on the current device, for the main bundle
// "com.tavrix.Quillbox" and the sender ID "123".
struct LegacyTraces {
  static std::string flagFile() { return ZEVUdederozedaruIIDStore::plistPath(); }

  static void writeFlagFile(const ns::Dictionary& contents) {
    std::filesystem::create_directories(std::filesystem::path(flagFile()).parent_path());
    ASSERT_TRUE(ns::writePropertyListFile(ns::Value(contents), flagFile(), ns::PropertyListFormat::XML, nullptr));
  }
  static ns::Dictionary keyQuery(const std::string& prefix) {
    return {{sec::kClass, ns::Value(sec::kClassKey)},
            {sec::kAttrApplicationTag, ns::Value(bytesOf(prefix + kTestBundleIdentifier))},
            {sec::kAttrKeyType, ns::Value(sec::kAttrKeyTypeRSA)}};
  }
  static void addKey(const std::string& prefix, const ns::Data& bytes) {
    ns::Dictionary item = keyQuery(prefix);
    item.set(sec::kValueData, ns::Value(bytes));
    ASSERT_EQ(sec::addItem(item), sec::kSuccess);
  }
  static bool hasKey(const std::string& prefix) { return sec::copyMatching(keyQuery(prefix), nullptr) == sec::kSuccess; }
  static void addToken(const std::string& token) {
    ns::Error error;
    auto archive = ns::KeyedArchiver::archivedDataWithRootObject(
        ns::KeyedArchiveObject(std::make_shared<LegacyTokenInfo>(token)), true, &error);
    ASSERT_TRUE(archive) << error.description();
    ns::Dictionary item{{sec::kClass, ns::Value(sec::kClassGenericPassword)},
                        {sec::kAttrGeneric, ns::Value(bytesOf("com.zorori.iid-tokens"))},
                        {sec::kAttrAccount, ns::Value(kTestBundleIdentifier)},
                        {sec::kAttrService, ns::Value("123:*")},
                        {sec::kValueData, ns::Value(*archive)}};
    ASSERT_EQ(sec::addItem(item), sec::kSuccess);
  }
  // A flag file, a key pair and a token: a complete legacy installation.
  static void putInPlace(const ns::Data& publicKey, const std::string& token) {
    writeFlagFile({{"|S|cre", ns::Value("legacy")}, {"other", ns::Value(int64_t{1})}});
    addKey(ZEVUdederozedaruIIDStore::kPublicKeyTagPrefix, publicKey);
    addKey(ZEVUdederozedaruIIDStore::kPrivateKeyTagPrefix, bytesOf("private key"));
    addToken(token);
  }
};

// The installation flags of a defaults suite, as its file on the device holds them.
inline ns::Dictionary flagsInSuite(const std::string& suite) {
  return ns::readDictionaryFile(ns::Device::current().preferencesDirectory() + "/" + suite + ".plist")
      .value_or(ns::Dictionary());
}

}  // namespace zov_testing
