#include "Libraries/TelemetryCore/ZEVUdederozedaruIIDStore.h"

#include <openssl/evp.h>

#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Encoding.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Security/Keychain.h"

namespace {

constexpr const char* kSubDirectory = "Zorori/DozaveveInstanceID";
constexpr const char* kPlistFileName = "com.zorori.iid-keypair.plist";

std::string bundleIdentifier() {
  auto bundle = ns::Bundle::mainBundle();
  return bundle ? bundle->bundleIdentifier().value_or("") : std::string();
}

}  // namespace

Promises::Promise<std::string> ZEVUdederozedaruIIDStore::existingIID() const {
  return Promises::Promise<std::optional<std::string>>::do_(
             dispatch::Queue::global(dispatch::Priority::Utility),
             []() -> std::optional<std::string> {
               if (!hasPlistIIDFlag()) return std::nullopt;
               auto key = IIDPublicKeyData();
               if (!key) return std::nullopt;
               return IIDWithPublicKeyData(*key);
             })
      .validate([](const std::optional<std::string>& IID) { return IID && !IID->empty(); })
      .then([](const std::optional<std::string>& IID) { return *IID; });
}

Promises::Promise<ns::Null> ZEVUdederozedaruIIDStore::deleteExistingIID() const {
  return Promises::Promise<ns::Null>::do_(dispatch::Queue::global(dispatch::Priority::Utility), [] {
    ns::Error error;
    if (!deleteIIDFlagFromPlist(&error) || !deleteIID(&error)) throw Promises::Error(error);
    return ns::Null{};
  });
}

bool ZEVUdederozedaruIIDStore::hasPlistIIDFlag() {
  auto plist = ns::readDictionaryFile(plistPath());
  return plist && plist->find(kFlagKey) != nullptr;
}

std::string ZEVUdederozedaruIIDStore::plistPath() {
  return supportedDirectory() + "/" + kSubDirectory + "/" + kPlistFileName;
}

std::string ZEVUdederozedaruIIDStore::supportedDirectory() {
  return ns::FileManager::defaultManager().applicationSupportDirectory().path();
}

std::optional<ns::Data> ZEVUdederozedaruIIDStore::IIDPublicKeyData() {
  auto tag = keychainKeyTagWithPrefix(kPublicKeyTagPrefix);
  if (!tag) return std::nullopt;
  ns::Value result;
  if (sec::copyMatching(keyPairQueryWithTag(*tag, true), &result) != sec::kSuccess || !result.isData()) {
    return std::nullopt;
  }
  return *result.asData();
}

std::string ZEVUdederozedaruIIDStore::IIDWithPublicKeyData(const ns::Data& publicKeyData) {
  ns::Data digest = sha1WithData(publicKeyData);
  digest[0] = static_cast<uint8_t>(0x70 | (digest[0] & 0x0F));
  digest.resize(8);
  return base64URLEncodedStringWithData(digest);
}

ns::Data ZEVUdederozedaruIIDStore::sha1WithData(const ns::Data& data) {
  ns::Data digest(20);
  unsigned int length = 0;
  EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha1(), nullptr);
  return digest;
}

std::string ZEVUdederozedaruIIDStore::base64URLEncodedStringWithData(const ns::Data& data) {
  return ns::base64UrlEncode(data, /*keepPadding=*/false);
}

bool ZEVUdederozedaruIIDStore::deleteIIDFlagFromPlist(ns::Error* error) {
  std::string path = plistPath();
  if (!ns::FileManager::defaultManager().fileExists(path)) return true;
  auto plist = ns::readDictionaryFile(path);
  if (!plist) return true;  // not a dictionary: there is no flag to remove
  plist->remove(kFlagKey);
  return ns::writePropertyListFile(ns::Value(std::move(*plist)), path, ns::PropertyListFormat::XML, error);
}

bool ZEVUdederozedaruIIDStore::deleteIID(ns::Error* error) {
  return deleteKeychainKeyWithTagPrefix(kPublicKeyTagPrefix, error) &&
         deleteKeychainKeyWithTagPrefix(kPrivateKeyTagPrefix, error);
}

bool ZEVUdederozedaruIIDStore::deleteKeychainKeyWithTagPrefix(const std::string& prefix, ns::Error* error) {
  auto tag = keychainKeyTagWithPrefix(prefix);
  if (!tag) return true;  // without a bundle identifier no key was ever made
  sec::Status status = sec::deleteItems(keyPairQueryWithTag(*tag, false));
  if (status == sec::kSuccess || status == sec::kItemNotFound) return true;
  ns::setError(error, ZEVUdederozedaruErrorUtil::keychainErrorWithFunction("SecItemDelete", status));
  return false;
}

ns::Dictionary ZEVUdederozedaruIIDStore::keyPairQueryWithTag(const std::string& tag, bool returnData) {
  ns::Dictionary query{{sec::kClass, ns::Value(sec::kClassKey)},
                       {sec::kAttrApplicationTag, ns::Value(ns::Data(tag.begin(), tag.end()))},
                       {sec::kAttrKeyType, ns::Value(sec::kAttrKeyTypeRSA)}};
  if (returnData) query.set(sec::kReturnData, ns::Value(true));
  return query;
}

std::optional<std::string> ZEVUdederozedaruIIDStore::keychainKeyTagWithPrefix(const std::string& prefix) {
  std::string identifier = bundleIdentifier();
  if (identifier.empty()) return std::nullopt;
  return prefix + identifier;
}
