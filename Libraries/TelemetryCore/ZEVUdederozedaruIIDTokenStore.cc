#include "Libraries/TelemetryCore/ZEVUdederozedaruIIDTokenStore.h"

#include <mutex>

#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Libraries/TelemetryFoundation/ZULKeychainUtils.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/KeyedArchiveRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Security/ItemKeys.h"

namespace {

constexpr const char* kTokenKey = "token";
constexpr const char* kAllScopes = "*";

const std::shared_ptr<dispatch::Queue>& utilityQueue() { return dispatch::Queue::global(dispatch::Priority::Utility); }

}  // namespace

std::shared_ptr<ns::Coding> ZEVUdederozedaruIIDTokenInfo::initWithCoder(ns::KeyedUnarchiver& coder) {
  auto info = std::make_shared<ZEVUdederozedaruIIDTokenInfo>();
  info->token = coder.decodeString(kTokenKey);
  return info;
}

void ZEVUdederozedaruIIDTokenInfo::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    ns::KeyedArchiveRegistry::shared().registerClass({.name = kClassName, .decode = initWithCoder});
  });
}

ZEVUdederozedaruIIDTokenStore::ZEVUdederozedaruIIDTokenStore(std::string ZCMSenderID)
    : ZCMSenderID_(std::move(ZCMSenderID)) {}

Promises::Promise<std::string> ZEVUdederozedaruIIDTokenStore::existingIIDDefaultToken() const {
  return IIDDefaultTokenData().then(utilityQueue(),
                                    [](const ns::Value& data) { return IIDCheckinWithData(*data.asData()); });
}

Promises::Promise<ns::Value> ZEVUdederozedaruIIDTokenStore::IIDDefaultTokenData() const {
  ns::Dictionary query = IIDDefaultTokenDataKeychainQuery();
  return Promises::Promise<ns::Value>::do_(utilityQueue(), [query] {
    std::optional<ns::Error> error;
    auto data = ZULKeychainUtils::getItemWithQuery(query, &error);
    if (data) return ns::Value(std::move(*data));
    throw Promises::Error(error ? *error : ZEVUdederozedaruErrorUtil::corruptedIIDTokenData());
  });
}

ns::Dictionary ZEVUdederozedaruIIDTokenStore::IIDDefaultTokenDataKeychainQuery() const {
  std::string generic = kTokensGeneric;
  ns::Dictionary query{{sec::kClass, ns::Value(sec::kClassGenericPassword)},
                       {sec::kAttrGeneric, ns::Value(ns::Data(generic.begin(), generic.end()))}};
  std::string account = IIDAppIdentifier();
  if (!account.empty()) query.set(sec::kAttrAccount, ns::Value(account));
  query.set(sec::kAttrService, ns::Value(serviceKeyForAuthorizedEntity(ZCMSenderID_, kAllScopes)));
  return query;
}

std::string ZEVUdederozedaruIIDTokenStore::IIDAppIdentifier() {
  auto bundle = ns::Bundle::mainBundle();
  return bundle ? bundle->bundleIdentifier().value_or("") : std::string();
}

std::string ZEVUdederozedaruIIDTokenStore::serviceKeyForAuthorizedEntity(const std::string& authorizedEntity,
                                                                         const std::string& scope) {
  return authorizedEntity + ":" + scope;
}

Promises::Promise<std::string> ZEVUdederozedaruIIDTokenStore::IIDCheckinWithData(const ns::Data& data) {
  return Promises::Promise<std::string>::do_(utilityQueue(), [data] {
    ZEVUdederozedaruIIDTokenInfo::registerClass();
    ns::Error error;
    auto unarchiver = ns::KeyedUnarchiver::forReadingFromData(data, &error);
    if (!unarchiver) {
      throw Promises::Error(error.domain().empty() ? ZEVUdederozedaruErrorUtil::corruptedIIDTokenData() : error);
    }
    unarchiver->setClass(ZEVUdederozedaruIIDTokenInfo::kClassName, ZEVUdederozedaruIIDTokenInfo::kLegacyClassName);
    auto info = unarchiver->decodeObjectOfClass<ZEVUdederozedaruIIDTokenInfo>(ZEVUdederozedaruIIDTokenInfo::kClassName,
                                                                              ns::KeyedArchiver::kRootKey);
    if (!info || !info->token || info->token->empty()) {
      throw Promises::Error(ZEVUdederozedaruErrorUtil::corruptedIIDTokenData());
    }
    return *info->token;
  });
}
