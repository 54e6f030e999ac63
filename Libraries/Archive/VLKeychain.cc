#include "Libraries/Archive/VLKeychain.h"

#include <mutex>

#include "Libraries/Archive/VLKeychainQuery.h"
#include "Platform/Security/Status.h"

namespace {

std::mutex& accessibilityMutex() {
  static std::mutex m;
  return m;
}
std::optional<std::string>& accessibilityValue() {
  static std::optional<std::string> v;
  return v;
}

VLKeychainQuery queryFor(const std::string& service, const std::string& account) {
  VLKeychainQuery q;
  q.setService(service);
  q.setAccount(account);
  return q;
}

}  // namespace

std::optional<std::string> VLKeychain::passwordForService(const std::string& service, const std::string& account,
                                                          ns::Error* error) {
  VLKeychainQuery q = queryFor(service, account);
  if (!q.fetch(error)) return std::nullopt;
  auto password = q.password();
  // Data that is no text is no missing password: the caller must be able
  // to tell (a lock must not open on it).
  if (!password && q.passwordData() && !q.passwordData()->empty())
    if (auto decode = VLKeychainQuery::errorWithCode(sec::kDecode)) ns::setError(error, std::move(*decode));
  return password;
}

std::optional<ns::Data> VLKeychain::passwordDataForService(const std::string& service, const std::string& account,
                                                           ns::Error* error) {
  VLKeychainQuery q = queryFor(service, account);
  q.fetch(error);
  return q.passwordData();
}

bool VLKeychain::deletePasswordForService(const std::string& service, const std::string& account, ns::Error* error) {
  return queryFor(service, account).deleteItem(error);
}

bool VLKeychain::setPassword(const std::string& password, const std::string& service, const std::string& account,
                             ns::Error* error) {
  VLKeychainQuery q = queryFor(service, account);
  q.setPassword(password);
  return q.save(error);
}

bool VLKeychain::setPasswordData(const ns::Data& password, const std::string& service, const std::string& account,
                                 ns::Error* error) {
  VLKeychainQuery q = queryFor(service, account);
  q.setPasswordData(password);
  return q.save(error);
}

std::optional<ns::Array> VLKeychain::accountsForService(const std::string& service, ns::Error* error) {
  VLKeychainQuery q;
  q.setService(service);
  return q.fetchAll(error);
}

std::optional<ns::Array> VLKeychain::allAccounts(ns::Error* error) { return VLKeychainQuery().fetchAll(error); }

std::optional<std::string> VLKeychain::accessibilityType() {
  std::lock_guard lock(accessibilityMutex());
  return accessibilityValue();
}

void VLKeychain::setAccessibilityType(std::optional<std::string> type) {
  std::lock_guard lock(accessibilityMutex());
  accessibilityValue() = std::move(type);
}
