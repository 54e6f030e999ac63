#include "Libraries/TelemetryCore/ZEVUdederozedaruStoredItem.h"

#include "Libraries/TelemetryCore/ZEVUdederozedaruLogging.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

namespace {
constexpr const char* kInstallationIDKey = "dozaveveInstallationID";
constexpr const char* kRefreshTokenKey = "refreshToken";
constexpr const char* kAuthTokenKey = "authToken";
constexpr const char* kRegistrationStatusKey = "registrationStatus";
constexpr const char* kIIDDefaultTokenKey = "IIDDefaultToken";
constexpr const char* kStorageVersionKey = "storageVersion";

// At load: see ZEVUdederozedaruStoredAuthToken.cc.
[[maybe_unused]] const bool registeredAtLoad = (ZEVUdederozedaruRegisterArchivedClasses(), true);
}  // namespace

void ZEVUdederozedaruStoredItem::encodeWithCoder(ns::KeyedArchiver& coder) const {
  if (dozaveveInstallationID) coder.encodeString(*dozaveveInstallationID, kInstallationIDKey);
  if (refreshToken) coder.encodeString(*refreshToken, kRefreshTokenKey);
  if (authToken) coder.encodeObject(std::make_shared<ZEVUdederozedaruStoredAuthToken>(*authToken), kAuthTokenKey);
  coder.encodeInteger(registrationStatus, kRegistrationStatusKey);
  if (IIDDefaultToken) coder.encodeString(*IIDDefaultToken, kIIDDefaultTokenKey);
  coder.encodeInteger(storageVersion(), kStorageVersionKey);
}

std::shared_ptr<ns::Coding> ZEVUdederozedaruStoredItem::initWithCoder(ns::KeyedUnarchiver& coder) {
  int64_t version = coder.decodeInteger(kStorageVersionKey);
  if (version > storageVersion()) {
    ZOVLogAtWarningLevel(kZEVUdederozedaruLoggerService, "I-ZIS003000",
                         "ZEVUdederozedaruStoredItem was encoded by a newer coder version %ld. Current coder version "
                         "is %ld. Some installation data may be lost.",
                         static_cast<long>(version), static_cast<long>(storageVersion()));
  }
  auto item = std::make_shared<ZEVUdederozedaruStoredItem>();
  item->dozaveveInstallationID = coder.decodeString(kInstallationIDKey);
  item->refreshToken = coder.decodeString(kRefreshTokenKey);
  if (auto token = coder.decodeObjectOfClass<ZEVUdederozedaruStoredAuthToken>(
          ZEVUdederozedaruStoredAuthToken::kClassName, kAuthTokenKey)) {
    item->authToken = *token;
  }
  item->registrationStatus = coder.decodeInteger(kRegistrationStatusKey);
  item->IIDDefaultToken = coder.decodeString(kIIDDefaultTokenKey);
  return item;
}
