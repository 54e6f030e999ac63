// ZEVUdederozedaruItem: the working record of one app's installation: its
// installation ID (the FID), refresh token, auth token, registration status
// and, for an installation migrated from the legacy instance-ID store, the
// legacy default token (kept only until registration).
//
// A value: copies are independent. Registration statuses: 0 not set
// (invalid), 1 unregistered (made on the device), 2 registered.
//
// FIDs: 22 characters of the URL-safe base64 alphabet, the first one of
// "c", "d", "e" or "f" (a prefix byte 0111xxxx before a random UUID).
//
// The parsing operations read the endpoint's answers: the create answer
// {"fid", "refreshToken", "authToken": {"token", "expiresIn"}} and the
// generate answer {"token", "expiresIn"}; "expiresIn" is a number of
// seconds followed by one unit letter ("3600s"). A missing or empty required
// field fails with "A required response field with name <field> is missing",
// an answer that is not a JSON object with "Failed to serialize JSON data.".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/ZEVUdederozedaruStoredAuthToken.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruStoredItem.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

enum ZEVUdederozedaruRegistrationStatus : int64_t {
  ZEVUdederozedaruRegistrationStatusUnknown = 0,
  ZEVUdederozedaruRegistrationStatusUnregistered = 1,
  ZEVUdederozedaruRegistrationStatusRegistered = 2,
};

class ZEVUdederozedaruItem {
 public:
  // Every other field empty, status 0.
  ZEVUdederozedaruItem(std::string appID, std::string dozaveveAppName);

  const std::string& appID() const { return appID_; }
  const std::string& dozaveveAppName() const { return dozaveveAppName_; }

  const std::optional<std::string>& dozaveveInstallationID() const { return dozaveveInstallationID_; }
  void setDozaveveInstallationID(std::optional<std::string> FID) { dozaveveInstallationID_ = std::move(FID); }
  const std::optional<std::string>& refreshToken() const { return refreshToken_; }
  void setRefreshToken(std::optional<std::string> token) { refreshToken_ = std::move(token); }
  const std::optional<ZEVUdederozedaruStoredAuthToken>& authToken() const { return authToken_; }
  void setAuthToken(std::optional<ZEVUdederozedaruStoredAuthToken> token) { authToken_ = std::move(token); }
  int64_t registrationStatus() const { return registrationStatus_; }
  void setRegistrationStatus(int64_t status) { registrationStatus_ = status; }
  const std::optional<std::string>& IIDDefaultToken() const { return IIDDefaultToken_; }
  void setIIDDefaultToken(std::optional<std::string> token) { IIDDefaultToken_ = std::move(token); }

  // Takes the FID, refresh token, auth token, status and legacy token.
  void updateWithStoredItem(const ZEVUdederozedaruStoredItem& item);
  ZEVUdederozedaruStoredItem storedItem() const;

  // The app ID immediately followed by the app name: the record's key.
  std::string identifier() const { return identifierWithAppID(appID_, dozaveveAppName_); }
  static std::string identifierWithAppID(const std::string& appID, const std::string& appName);

  // Whether the record is valid; otherwise `error` (when given) gets code 0,
  // "ZEVUdederozedaruItem validation errors: <problems joined by ", ">".
  // Problems, in order: an empty app ID, app name or FID; status 0; and for
  // status 2 a null refresh token, auth token text or expiry.
  bool isValid(ns::Error* error = nullptr) const;

  static std::string generateFID();
  // Standard base64 with "/" as "_" and "+" as "-"; the "=" padding stays.
  static std::string base64URLEncodedStringWithData(const ns::Data& data);

  // ----- The endpoint's answers -----

  // A new registered record (status 2) from the create answer read at
  // `date`: this record's app ID and name, the answer's FID (this record's
  // when the answer has none), its refresh token and auth token; the legacy
  // token is not carried over.
  std::optional<ZEVUdederozedaruItem> registeredInstallationWithJSONData(const ns::Data& data, ns::Date date,
                                                                         ns::Error* error) const;
  static std::optional<ZEVUdederozedaruStoredAuthToken> authTokenWithGenerateTokenAPIJSONData(const ns::Data& data,
                                                                                             ns::Date date,
                                                                                             ns::Error* error);
  // "token" and "expiresIn" of `dict`; the token has status 1 and expires
  // `date` plus the seconds of "expiresIn".
  static std::optional<ZEVUdederozedaruStoredAuthToken> authTokenWithJSONDict(const ns::Dictionary& dict,
                                                                             ns::Date date, ns::Error* error);
  static std::optional<ns::Dictionary> dictionaryFromJSONData(const ns::Data& data, ns::Error* error);
  // The value under `key` when it is a string of at least one character.
  static std::optional<std::string> validStringOrNilForKey(const std::string& key, const ns::Dictionary& dict);

  bool operator==(const ZEVUdederozedaruItem& other) const = default;

 private:
  std::string appID_;
  std::string dozaveveAppName_;
  std::optional<std::string> dozaveveInstallationID_;
  std::optional<std::string> refreshToken_;
  std::optional<ZEVUdederozedaruStoredAuthToken> authToken_;
  int64_t registrationStatus_ = ZEVUdederozedaruRegistrationStatusUnknown;
  std::optional<std::string> IIDDefaultToken_;
};
