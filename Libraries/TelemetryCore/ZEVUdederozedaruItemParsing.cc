// The endpoint's answers read into records (ZEVUdederozedaruItem.h).
#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruItem.h"
#include "Platform/Foundation/Json.h"

std::optional<ns::Dictionary> ZEVUdederozedaruItem::dictionaryFromJSONData(const ns::Data& data, ns::Error* error) {
  ns::Error parserError;
  auto parsed = ns::jsonObjectFromData(data, &parserError);
  if (!parsed || !parsed->isDictionary()) {
    ns::setError(error, ZEVUdederozedaruErrorUtil::JSONSerializationError(parserError));
    return std::nullopt;
  }
  return *parsed->asDictionary();
}

std::optional<std::string> ZEVUdederozedaruItem::validStringOrNilForKey(const std::string& key,
                                                                         const ns::Dictionary& dict) {
  const ns::Value* value = dict.find(key);
  if (!value || !value->isString() || value->asString()->empty()) return std::nullopt;
  return *value->asString();
}

std::optional<ZEVUdederozedaruStoredAuthToken> ZEVUdederozedaruItem::authTokenWithJSONDict(const ns::Dictionary& dict,
                                                                                          ns::Date date,
                                                                                          ns::Error* error) {
  auto token = validStringOrNilForKey("token", dict);
  if (!token) {
    ns::setError(error, ZEVUdederozedaruErrorUtil::FIDRegistrationErrorWithResponseMissingField("authToken.token"));
    return std::nullopt;
  }
  auto expiresIn = validStringOrNilForKey("expiresIn", dict);
  if (!expiresIn) {
    ns::setError(error,
                 ZEVUdederozedaruErrorUtil::FIDRegistrationErrorWithResponseMissingField("authToken.expiresIn"));
    return std::nullopt;
  }
  // A number of seconds and one unit letter: "3600s".
  double seconds = ns::doubleValueOfString(std::string_view(*expiresIn).substr(0, expiresIn->size() - 1));
  ZEVUdederozedaruStoredAuthToken authToken;
  authToken.status = 1;
  authToken.token = std::move(token);
  authToken.expirationDate = date.addingTimeInterval(seconds);
  return authToken;
}

std::optional<ZEVUdederozedaruStoredAuthToken> ZEVUdederozedaruItem::authTokenWithGenerateTokenAPIJSONData(
    const ns::Data& data, ns::Date date, ns::Error* error) {
  auto dict = dictionaryFromJSONData(data, error);
  if (!dict) return std::nullopt;
  return authTokenWithJSONDict(*dict, date, error);
}

std::optional<ZEVUdederozedaruItem> ZEVUdederozedaruItem::registeredInstallationWithJSONData(const ns::Data& data,
                                                                                            ns::Date date,
                                                                                            ns::Error* error) const {
  auto dict = dictionaryFromJSONData(data, error);
  if (!dict) return std::nullopt;
  auto refreshToken = validStringOrNilForKey("refreshToken", *dict);
  if (!refreshToken) {
    ns::setError(error, ZEVUdederozedaruErrorUtil::FIDRegistrationErrorWithResponseMissingField("refreshToken"));
    return std::nullopt;
  }
  const ns::Value* authTokenValue = dict->find("authToken");
  if (!authTokenValue || !authTokenValue->isDictionary()) {
    ns::setError(error, ZEVUdederozedaruErrorUtil::FIDRegistrationErrorWithResponseMissingField("authToken"));
    return std::nullopt;
  }
  auto authToken = authTokenWithJSONDict(*authTokenValue->asDictionary(), date, error);
  if (!authToken) return std::nullopt;

  ZEVUdederozedaruItem registered(appID_, dozaveveAppName_);
  auto FID = validStringOrNilForKey("fid", *dict);
  registered.setDozaveveInstallationID(FID ? FID : dozaveveInstallationID_);
  registered.setRefreshToken(std::move(refreshToken));
  registered.setAuthToken(std::move(authToken));
  registered.setRegistrationStatus(ZEVUdederozedaruRegistrationStatusRegistered);
  return registered;
}
