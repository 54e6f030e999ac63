#include "Libraries/Archive/VLKeychainQuery.h"

#include "Libraries/Archive/VLKeychain.h"
#include "Libraries/Archive/VLKeychainTexts.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Platform/Security/Keychain.h"

namespace {

bool hasText(const std::optional<std::string>& s) { return s.has_value(); }

// Sets *error for a non-zero status.
bool answer(sec::Status status, ns::Error* error) {
  if (status == sec::kSuccess) return true;
  if (auto e = VLKeychainQuery::errorWithCode(status)) ns::setError(error, std::move(*e));
  return false;
}

}  // namespace

std::optional<std::string> VLKeychainQuery::password() const {
  if (!passwordData_ || passwordData_->empty()) return std::nullopt;
  std::string text(passwordData_->begin(), passwordData_->end());
  if (!ns::isValidUtf8(text)) return std::nullopt;
  return text;
}

void VLKeychainQuery::setPassword(const std::optional<std::string>& password) {
  if (!password) {
    passwordData_.reset();
    return;
  }
  passwordData_ = ns::Data(password->begin(), password->end());
}

ns::KeyedArchiveObject VLKeychainQuery::passwordObject() const {
  if (!passwordData_ || passwordData_->empty()) return nullptr;
  return ns::KeyedUnarchiver::unarchiveObjectWithData(*passwordData_, nullptr);
}

void VLKeychainQuery::setPasswordObject(const ns::KeyedArchiveObject& object) {
  passwordData_ = ns::KeyedArchiver::archivedDataWithRootObject(object, false, nullptr);
}

ns::Dictionary VLKeychainQuery::query() const {
  ns::Dictionary d{{sec::kClass, sec::kClassGenericPassword}};
  if (service_) d.set(sec::kAttrService, *service_);
  if (account_) d.set(sec::kAttrAccount, *account_);
  if (accessGroup_) d.set(sec::kAttrAccessGroup, *accessGroup_);
  if (isSynchronizationAvailable()) {
    switch (synchronizationMode_) {
      case VLKeychainQuerySynchronizationModeAny:
        d.set(sec::kAttrSynchronizable, sec::kSynchronizableAny);
        break;
      case VLKeychainQuerySynchronizationModeNo:
        d.set(sec::kAttrSynchronizable, false);
        break;
      case VLKeychainQuerySynchronizationModeYes:
        d.set(sec::kAttrSynchronizable, true);
        break;
    }
  }
  return d;
}

bool VLKeychainQuery::save(ns::Error* error) {
  if (!hasText(service_) || !hasText(account_) || !passwordData_) return answer(kVLKeychainErrorBadArguments, error);
  const std::optional<std::string> accessibility = VLKeychain::accessibilityType();
  // The existing item's data (its label kept), or a new item with the label:
  // decided and written in one transaction, so that a save in another
  // process between a look and an add cannot make this one fail.
  ns::Dictionary changes{{sec::kValueData, *passwordData_}};
  if (accessibility) changes.set(sec::kAttrAccessible, *accessibility);
  ns::Dictionary add = query();
  if (label_) add.set(sec::kAttrLabel, *label_);
  add.set(sec::kValueData, *passwordData_);
  if (accessibility) add.set(sec::kAttrAccessible, *accessibility);
  return answer(sec::updateOrAddItem(query(), changes, add), error);
}

bool VLKeychainQuery::deleteItem(ns::Error* error) {
  if (!hasText(service_) || !hasText(account_)) return answer(kVLKeychainErrorBadArguments, error);
  return answer(sec::deleteItems(query()), error);
}

bool VLKeychainQuery::fetch(ns::Error* error) {
  if (!hasText(service_) || !hasText(account_)) return answer(kVLKeychainErrorBadArguments, error);
  ns::Dictionary q = query();
  q.set(sec::kReturnData, true);
  q.set(sec::kMatchLimit, sec::kMatchLimitOne);
  ns::Value result;
  sec::Status status = sec::copyMatching(q, &result);
  if (status == sec::kSuccess) {
    if (!result.isData()) return answer(sec::kDecode, error);
    passwordData_ = *result.asData();
  }
  return answer(status, error);
}

std::optional<ns::Array> VLKeychainQuery::fetchAll(ns::Error* error) {
  ns::Dictionary q = query();
  q.set(sec::kReturnAttributes, true);
  q.set(sec::kMatchLimit, sec::kMatchLimitAll);
  if (auto accessibility = VLKeychain::accessibilityType()) q.set(sec::kAttrAccessible, *accessibility);
  ns::Value result;
  sec::Status status = sec::copyMatching(q, &result);
  if (status != sec::kSuccess) {
    answer(status, error);
    return std::nullopt;
  }
  if (!result.isArray()) return std::nullopt;
  return *result.asArray();
}

bool VLKeychainQuery::isSynchronizationAvailable() {
  // The host keychain always knows the synchronizable attribute.
  return true;
}

std::optional<ns::Error> VLKeychainQuery::errorWithCode(sec::Status status) {
  if (status == sec::kSuccess) return std::nullopt;
  const char* key = "errSecDefault";
  switch (status) {
    case sec::kUnimplemented: key = "errSecUnimplemented"; break;
    case sec::kParam: key = "errSecParam"; break;
    case sec::kAllocate: key = "errSecAllocate"; break;
    case kVLKeychainErrorBadArguments: key = "VLKeychainErrorBadArguments"; break;
    case sec::kNotAvailable: key = "errSecNotAvailable"; break;
    case sec::kAuthFailed: key = "errSecAuthFailed"; break;
    case sec::kDuplicateItem: key = "errSecDuplicateItem"; break;
    case sec::kItemNotFound: key = "errSecItemNotFound"; break;
    case sec::kInteractionNotAllowed: key = "errSecInteractionNotAllowed"; break;
    case sec::kDecode: key = "errSecDecode"; break;
    default: break;
  }
  ns::Dictionary userInfo;
  if (auto text = VLKeychainTexts::localizedText(key)) userInfo.set(ns::kLocalizedDescriptionKey, *text);
  return ns::Error(kVLKeychainErrorDomain, status, std::move(userInfo));
}
