#include "Libraries/TelemetryCore/ZEVUdederozedaruStoredAuthToken.h"

#include <mutex>

#include "Libraries/TelemetryCore/ZEVUdederozedaruLogging.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruStoredItem.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Platform/Foundation/KeyedArchiveRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

namespace {
constexpr const char* kStatusKey = "status";
constexpr const char* kTokenKey = "token";
constexpr const char* kExpirationDateKey = "expirationDate";
constexpr const char* kStorageVersionKey = "storageVersion";

// At load, before anything can read a stored record: a new process decodes
// the keychain item before it makes any object of these classes.
[[maybe_unused]] const bool registeredAtLoad = (ZEVUdederozedaruRegisterArchivedClasses(), true);
}  // namespace

void ZEVUdederozedaruRegisterArchivedClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto& registry = ns::KeyedArchiveRegistry::shared();
    registry.registerClass({.name = ZEVUdederozedaruStoredAuthToken::kClassName,
                            .decode = ZEVUdederozedaruStoredAuthToken::initWithCoder});
    registry.registerClass(
        {.name = ZEVUdederozedaruStoredItem::kClassName, .decode = ZEVUdederozedaruStoredItem::initWithCoder});
  });
}

void ZEVUdederozedaruStoredAuthToken::encodeWithCoder(ns::KeyedArchiver& coder) const {
  coder.encodeInteger(status, kStatusKey);
  if (token) coder.encodeString(*token, kTokenKey);
  if (expirationDate) coder.encodeDate(*expirationDate, kExpirationDateKey);
  coder.encodeInteger(storageVersion(), kStorageVersionKey);
}

std::shared_ptr<ns::Coding> ZEVUdederozedaruStoredAuthToken::initWithCoder(ns::KeyedUnarchiver& coder) {
  int64_t version = coder.decodeInteger(kStorageVersionKey);
  if (version > storageVersion()) {
    ZOVLogAtWarningLevel(kZEVUdederozedaruLoggerService, "I-ZIS004000",
                         "ZEVUdederozedaruStoredAuthToken was encoded by a newer coder version %ld. Current coder "
                         "version is %ld. Some auth token data may be lost.",
                         static_cast<long>(version), static_cast<long>(storageVersion()));
  }
  auto token = std::make_shared<ZEVUdederozedaruStoredAuthToken>();
  token->status = coder.decodeInteger(kStatusKey);
  token->token = coder.decodeString(kTokenKey);
  token->expirationDate = coder.decodeDate(kExpirationDateKey);
  return token;
}
