// The installations service's error domain and the errors it builds.
//
// Every error is an ns::Error of the domain "com.dozaveve.installations":
// code 0 for general failures (every HTTP error among them), 1 for keychain
// failures, 2 for requests refused or unable to reach the server. The user
// info holds the failure reason under NSLocalizedFailureReason and, when
// there is one, the underlying error under NSUnderlyingError; a null reason
// becomes "Underlying error: <its localized description>".
//
// An HTTP error (ZEVUdederozedaruHTTPError) is one of these, code 0, that
// also carries the response under "HTTPResponse" (URL, status, header
// fields) and the body under "data"; a copy of the error is a copy of both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Libraries/TelemetryFoundation/Promise.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Network/HTTPURLResponse.h"

inline constexpr const char* kZEVUdederozedaruErrorDomain = "com.dozaveve.installations";

enum ZEVUdederozedaruErrorCode : int64_t {
  ZEVUdederozedaruErrorCodeUnknown = 0,
  ZEVUdederozedaruErrorCodeKeychain = 1,
  ZEVUdederozedaruErrorCodeServerUnreachable = 2,
};

class ZEVUdederozedaruErrorUtil {
 public:
  ZEVUdederozedaruErrorUtil() = delete;

  static ns::Error installationsErrorWithCode(int64_t code, const std::optional<std::string>& failureReason,
                                              const std::optional<ns::Error>& underlyingError);
  // The error kept under NSUnderlyingError (as its domain, code and user
  // info, since user info holds values), or nothing.
  static std::optional<ns::Error> underlyingError(const ns::Error& error);

  // "NSKeyedArchiver exception with name: <name>, reason: <reason>, userInfo: <user info>".
  static ns::Error keyedArchiverErrorWithException(const ns::Exception& exception);
  // "NSKeyedArchiver error.", over `error`.
  static ns::Error keyedArchiverErrorWithError(const ns::Error& error);
  // Code 1, "<function> (<status>)".
  static ns::Error keychainErrorWithFunction(const std::string& function, int64_t status);
  // "Installation for appID <app ID> appName <name> not found".
  static ns::Error installationItemNotFoundForAppID(const std::string& appID, const std::string& appName);
  static ns::Error corruptedIIDTokenData();
  // "Failed to serialize JSON data."; the parser's error is not attached.
  static ns::Error JSONSerializationError(const ns::Error& parserError);
  // "A required response field with name <field> is missing".
  static ns::Error FIDRegistrationErrorWithResponseMissingField(const std::string& fieldName);
  // Code 2, "Network connection error.", over `error`.
  static ns::Error networkErrorWithError(const ns::Error& error);
  // Code 2, "Too many server requests.".
  static ns::Error backoffIntervalWaitError();
  // An installations error is returned unchanged; any other is wrapped
  // (code 0, "Underlying error: ...").
  static ns::Error publicDomainErrorWithError(const ns::Error& error);

  static ns::Error APIErrorWithHTTPResponse(const net::HTTPURLResponse& response, const ns::Data& data);
  // Whether `error` is an HTTP error whose response has status `code`.
  static bool isAPIError(const ns::Error& error, int64_t code);

  template <class T>
  static Promises::Promise<T> rejectedPromiseWithError(const ns::Error& error) {
    return Promises::Promise<T>(Promises::Error(error));
  }
};

// The HTTP error: an installations error (code 0) with the failure reason
// "The server responded with an error: \n - URL: <URL> \n - HTTP status
// code: <status> \n - Response body: <body as UTF-8>", the response and the
// body.
class ZEVUdederozedaruHTTPError {
 public:
  ZEVUdederozedaruHTTPError() = delete;

  static inline constexpr const char* kHTTPResponseKey = "HTTPResponse";
  static inline constexpr const char* kDataKey = "data";

  // 0 for every status: callers read the status from the response.
  static int64_t errorCodeWithHTTPCode(int64_t HTTPCode) {
    (void)HTTPCode;
    return ZEVUdederozedaruErrorCodeUnknown;
  }
  static ns::Error errorWithHTTPResponse(const net::HTTPURLResponse& response, const ns::Data& data);

  // Whether `error` is an HTTP error of the installations domain.
  static bool isHTTPError(const ns::Error& error);
  // The response and the body an HTTP error carries; absent for other errors.
  static std::optional<net::HTTPURLResponse> HTTPResponse(const ns::Error& error);
  static std::optional<ns::Data> data(const ns::Error& error);
};
