#include "Platform/Foundation/Preferences.h"

#include <memory>

#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/UserDefaultsStore.h"

namespace ns {
namespace {

std::shared_ptr<UserDefaultsStore> storeFor(const std::string& applicationID) {
  std::string domain = applicationID == Preferences::kCurrentApplication || applicationID.empty()
                           ? UserDefaults::applicationDomainName()
                           : applicationID;
  if (domain == "." || domain == ".." || domain.find('/') != std::string::npos) return nullptr;
  return UserDefaultsStore::forPath(Device::current().preferencesDirectory() + "/" + domain + ".plist");
}

}  // namespace

std::optional<Value> Preferences::copyAppValue(std::string_view key, const std::string& applicationID) {
  auto store = storeFor(applicationID);
  return store ? store->get(key) : std::nullopt;
}

void Preferences::setAppValue(std::string_view key, const std::optional<Value>& value,
                              const std::string& applicationID) {
  if (value && !hasPropertyListForm(*value))
    throw Exception(kInvalidArgumentException, "Attempt to set a non-property list value for key " + std::string(key));
  if (auto store = storeFor(applicationID)) store->set(std::string(key), value);
}

void Preferences::setMultiple(const Dictionary& keysToSet, const std::vector<std::string>& keysToRemove,
                              const std::string& applicationID) {
  for (const auto& [key, value] : keysToSet) setAppValue(key, value, applicationID);
  for (const auto& key : keysToRemove) setAppValue(key, std::nullopt, applicationID);
}

std::vector<std::string> Preferences::copyKeyList(const std::string& applicationID) {
  auto store = storeFor(applicationID);
  return store ? store->snapshot().keys() : std::vector<std::string>{};
}

bool Preferences::appSynchronize(const std::string& applicationID) {
  auto store = storeFor(applicationID);
  return store && store->synchronize();
}

}  // namespace ns
