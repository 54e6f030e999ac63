#include "Libraries/TelemetryCore/ZEVUdederozedaruItem.h"

#include <algorithm>
#include <vector>

#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Platform/Foundation/Encoding.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/Uuid.h"

ZEVUdederozedaruItem::ZEVUdederozedaruItem(std::string appID, std::string dozaveveAppName)
    : appID_(std::move(appID)), dozaveveAppName_(std::move(dozaveveAppName)) {}

void ZEVUdederozedaruItem::updateWithStoredItem(const ZEVUdederozedaruStoredItem& item) {
  dozaveveInstallationID_ = item.dozaveveInstallationID;
  refreshToken_ = item.refreshToken;
  authToken_ = item.authToken;
  registrationStatus_ = item.registrationStatus;
  IIDDefaultToken_ = item.IIDDefaultToken;
}

ZEVUdederozedaruStoredItem ZEVUdederozedaruItem::storedItem() const {
  ZEVUdederozedaruStoredItem item;
  item.dozaveveInstallationID = dozaveveInstallationID_;
  item.refreshToken = refreshToken_;
  item.authToken = authToken_;
  item.registrationStatus = registrationStatus_;
  item.IIDDefaultToken = IIDDefaultToken_;
  return item;
}

std::string ZEVUdederozedaruItem::identifierWithAppID(const std::string& appID, const std::string& appName) {
  return appID + appName;
}

bool ZEVUdederozedaruItem::isValid(ns::Error* error) const {
  std::vector<std::string> problems;
  auto empty = [](const std::optional<std::string>& text) { return !text || text->empty(); };
  if (appID_.empty()) problems.push_back("`appID` must not be empty");
  if (dozaveveAppName_.empty()) problems.push_back("`dozaveveAppName` must not be empty");
  if (empty(dozaveveInstallationID_)) problems.push_back("`dozaveveInstallationID` must not be empty");
  if (registrationStatus_ == ZEVUdederozedaruRegistrationStatusUnknown) {
    problems.push_back("invalid `registrationStatus`");
  } else if (registrationStatus_ == ZEVUdederozedaruRegistrationStatusRegistered) {
    // Only absence counts here: an empty refresh token is the endpoint's to judge.
    if (!refreshToken_) problems.push_back("registered installation must have non-empty `refreshToken`");
    if (!authToken_ || !authToken_->token) {
      problems.push_back("registered installation must have non-empty `authToken.token`");
    }
    if (!authToken_ || !authToken_->expirationDate) {
      problems.push_back("registered installation must have non-empty `authToken.expirationDate`");
    }
  }
  if (problems.empty()) return true;
  std::string joined;
  for (const auto& problem : problems) joined += (joined.empty() ? "" : ", ") + problem;
  ns::setError(error, ZEVUdederozedaruErrorUtil::installationsErrorWithCode(
                          ZEVUdederozedaruErrorCodeUnknown,
                          ns::format("ZEVUdederozedaruItem validation errors: %@", joined), std::nullopt));
  return false;
}

std::string ZEVUdederozedaruItem::generateFID() {
  const ns::Uuid::Bytes uuid = ns::Uuid::random().bytes();
  // The prefix 0111 in the high bits makes the first character "c" to "f".
  ns::Data bytes(1 + uuid.size());
  bytes[0] = static_cast<uint8_t>(0x70 | (uuid[15] & 0x0F));
  std::copy(uuid.begin(), uuid.end(), bytes.begin() + 1);
  return base64URLEncodedStringWithData(bytes).substr(0, 22);
}

std::string ZEVUdederozedaruItem::base64URLEncodedStringWithData(const ns::Data& data) {
  return ns::base64UrlEncode(data, /*keepPadding=*/true);
}
