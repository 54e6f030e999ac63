#include "Libraries/Measurement/Storage/MSRKeychainWrapper.h"

#include <mutex>

#include "Platform/Security/Keychain.h"

namespace {

ns::Data utf8(const std::string& text) { return ns::Data(text.begin(), text.end()); }

}  // namespace

std::optional<ns::Dictionary> MSRKeychainWrapper::searchDirectoryForIdentifier(const std::string& identifier,
                                                                               const std::string& appID) {
  if (identifier.empty() || appID.empty()) return std::nullopt;
  return ns::Dictionary{{sec::kClass, sec::kClassGenericPassword},
                        {sec::kAttrService, appID},
                        {sec::kAttrGeneric, identifier},
                        {sec::kAttrAccount, identifier}};
}

std::optional<ns::Data> MSRKeychainWrapper::keychainDataWithIdentifier(const std::string& identifier,
                                                                       const std::string& appID) {
  auto query = searchDirectoryForIdentifier(identifier, appID);
  if (!query) return std::nullopt;
  query->set(sec::kMatchLimit, sec::kMatchLimitOne);
  query->set(sec::kReturnData, true);
  ns::Value result;
  if (sec::copyMatching(*query, &result) != sec::kSuccess || !result.isData()) return std::nullopt;
  return *result.asData();
}

std::optional<std::string> MSRKeychainWrapper::keychainValueWithIdentifier(const std::string& identifier,
                                                                           const std::string& appID) {
  // Once per process, for the first identifier read.
  static std::once_flag migration;
  std::call_once(migration, [&] { migrateKeychainDataToStringWithIdentifier(identifier, appID); });
  auto data = keychainDataWithIdentifier(identifier, appID);
  if (!data) return std::nullopt;
  return std::string(data->begin(), data->end());
}

bool MSRKeychainWrapper::upsertKeychainValue(const std::string& value, const std::string& identifier,
                                             const std::string& appID) {
  auto query = searchDirectoryForIdentifier(identifier, appID);
  if (value.empty() || !query) return false;
  query->set(sec::kValueData, utf8(value));
  query->set(sec::kAttrAccessible, sec::kAccessibleAlwaysThisDeviceOnly);
  auto existing = keychainValueWithIdentifier(identifier, appID);
  if (existing && !existing->empty()) {
    query->remove(sec::kValueData);
    return sec::updateItems(*query, ns::Dictionary{{sec::kValueData, utf8(value)}}) == sec::kSuccess;
  }
  return sec::addItem(*query) == sec::kSuccess;
}

void MSRKeychainWrapper::deleteKeychainValueWithIdentifier(const std::string& identifier, const std::string& appID) {
  if (auto query = searchDirectoryForIdentifier(identifier, appID)) sec::deleteItems(*query);
}

bool MSRKeychainWrapper::isMigrationNeededForIdentifier(const std::string& identifier, const std::string& appID) {
  auto query = searchDirectoryForIdentifier(identifier, appID);
  if (!query) return false;
  query->set(sec::kMatchLimit, sec::kMatchLimitOne);
  query->set(sec::kReturnData, true);
  query->set(sec::kReturnAttributes, true);
  ns::Value result;
  if (sec::copyMatching(*query, &result) != sec::kSuccess || !result.isDictionary()) return false;
  const ns::Value* account = result.find(sec::kAttrAccount);
  const ns::Value* generic = result.find(sec::kAttrGeneric);
  return !(account && account->isString() && generic && generic->isString());
}

void MSRKeychainWrapper::migrateKeychainDataToStringWithIdentifier(const std::string& identifier,
                                                                   const std::string& appID) {
  if (!isMigrationNeededForIdentifier(identifier, appID)) return;
  auto data = keychainDataWithIdentifier(identifier, appID);
  if (!data || data->empty()) return;
  sec::updateItems(*searchDirectoryForIdentifier(identifier, appID),
                   ns::Dictionary{{sec::kAttrGeneric, identifier}, {sec::kAttrAccount, identifier}});
}
