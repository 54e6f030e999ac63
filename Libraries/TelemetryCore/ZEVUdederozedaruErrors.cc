#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"

#include "Platform/Foundation/Format.h"

namespace {

std::string utf8Text(const ns::Data& data) { return std::string(data.begin(), data.end()); }

constexpr const char* kURLKey = "URL";
constexpr const char* kStatusCodeKey = "statusCode";
constexpr const char* kHeaderFieldsKey = "headerFields";

// The response as a value of the error's user info.
ns::Value responseValue(const net::HTTPURLResponse& response) {
  ns::Dictionary headers;
  for (const auto& [name, value] : response.allHeaderFields().fields()) headers.set(name, ns::Value(value));
  return ns::Value(ns::Dictionary{{kURLKey, ns::Value(response.url().absoluteString())},
                                  {kStatusCodeKey, ns::Value(static_cast<int64_t>(response.statusCode()))},
                                  {kHeaderFieldsKey, ns::Value(std::move(headers))}});
}

}  // namespace

ns::Error ZEVUdederozedaruErrorUtil::installationsErrorWithCode(int64_t code,
                                                                const std::optional<std::string>& failureReason,
                                                                const std::optional<ns::Error>& underlyingError) {
  ns::Dictionary userInfo;
  if (underlyingError) {
    // The user info is a value model, so the underlying error is kept as its
    // own domain, code and user info.
    userInfo.set(ns::kUnderlyingErrorKey,
                 ns::Value(ns::Dictionary{{"domain", ns::Value(underlyingError->domain())},
                                          {"code", ns::Value(underlyingError->code())},
                                          {"userInfo", ns::Value(underlyingError->userInfo())}}));
  }
  std::string reason = failureReason ? *failureReason
                                     : ns::format("Underlying error: %@", underlyingError
                                                                              ? underlyingError->localizedDescription()
                                                                              : std::string("(null)"));
  userInfo.set(ns::kLocalizedFailureReasonErrorKey, ns::Value(std::move(reason)));
  return ns::Error(kZEVUdederozedaruErrorDomain, code, std::move(userInfo));
}

std::optional<ns::Error> ZEVUdederozedaruErrorUtil::underlyingError(const ns::Error& error) {
  const ns::Value* stored = error.userInfo().find(ns::kUnderlyingErrorKey);
  const ns::Value* domain = stored ? stored->find("domain") : nullptr;
  const ns::Value* code = stored ? stored->find("code") : nullptr;
  const ns::Value* userInfo = stored ? stored->find("userInfo") : nullptr;
  if (!domain || !domain->isString() || !code || !code->isNumber()) return std::nullopt;
  return ns::Error(*domain->asString(), code->integerValue(),
                   userInfo && userInfo->asDictionary() ? *userInfo->asDictionary() : ns::Dictionary());
}

ns::Error ZEVUdederozedaruErrorUtil::keyedArchiverErrorWithException(const ns::Exception& exception) {
  return installationsErrorWithCode(
      ZEVUdederozedaruErrorCodeUnknown,
      ns::format("NSKeyedArchiver exception with name: %@, reason: %@, userInfo: %@", exception.name(),
                 exception.reason(), ns::Value(exception.userInfo())),
      std::nullopt);
}

ns::Error ZEVUdederozedaruErrorUtil::keyedArchiverErrorWithError(const ns::Error& error) {
  return installationsErrorWithCode(ZEVUdederozedaruErrorCodeUnknown, "NSKeyedArchiver error.", error);
}

ns::Error ZEVUdederozedaruErrorUtil::keychainErrorWithFunction(const std::string& function, int64_t status) {
  return installationsErrorWithCode(ZEVUdederozedaruErrorCodeKeychain,
                                    ns::format("%@ (%li)", function, static_cast<long>(status)), std::nullopt);
}

ns::Error ZEVUdederozedaruErrorUtil::installationItemNotFoundForAppID(const std::string& appID,
                                                                      const std::string& appName) {
  return installationsErrorWithCode(ZEVUdederozedaruErrorCodeUnknown,
                                    ns::format("Installation for appID %@ appName %@ not found", appID, appName),
                                    std::nullopt);
}

ns::Error ZEVUdederozedaruErrorUtil::corruptedIIDTokenData() {
  return installationsErrorWithCode(ZEVUdederozedaruErrorCodeUnknown,
                                    "IID token data stored in Keychain is corrupted or in an incompatible format.",
                                    std::nullopt);
}

ns::Error ZEVUdederozedaruErrorUtil::JSONSerializationError(const ns::Error& parserError) {
  (void)parserError;
  return installationsErrorWithCode(ZEVUdederozedaruErrorCodeUnknown, "Failed to serialize JSON data.",
                                    std::nullopt);
}

ns::Error ZEVUdederozedaruErrorUtil::FIDRegistrationErrorWithResponseMissingField(const std::string& fieldName) {
  return installationsErrorWithCode(ZEVUdederozedaruErrorCodeUnknown,
                                    ns::format("A required response field with name %@ is missing", fieldName),
                                    std::nullopt);
}

ns::Error ZEVUdederozedaruErrorUtil::networkErrorWithError(const ns::Error& error) {
  return installationsErrorWithCode(ZEVUdederozedaruErrorCodeServerUnreachable, "Network connection error.", error);
}

ns::Error ZEVUdederozedaruErrorUtil::backoffIntervalWaitError() {
  return installationsErrorWithCode(ZEVUdederozedaruErrorCodeServerUnreachable, "Too many server requests.",
                                    std::nullopt);
}

ns::Error ZEVUdederozedaruErrorUtil::publicDomainErrorWithError(const ns::Error& error) {
  if (error.domain() == kZEVUdederozedaruErrorDomain) return error;
  return installationsErrorWithCode(ZEVUdederozedaruErrorCodeUnknown, std::nullopt, error);
}

ns::Error ZEVUdederozedaruErrorUtil::APIErrorWithHTTPResponse(const net::HTTPURLResponse& response,
                                                              const ns::Data& data) {
  return ZEVUdederozedaruHTTPError::errorWithHTTPResponse(response, data);
}

bool ZEVUdederozedaruErrorUtil::isAPIError(const ns::Error& error, int64_t code) {
  auto response = ZEVUdederozedaruHTTPError::HTTPResponse(error);
  return response && response->statusCode() == code;
}

ns::Error ZEVUdederozedaruHTTPError::errorWithHTTPResponse(const net::HTTPURLResponse& response,
                                                           const ns::Data& data) {
  std::string reason = ns::format(
      "The server responded with an error: \n - URL: %@ \n - HTTP status code: %ld \n - Response body: %@",
      response.url().absoluteString(), static_cast<long>(response.statusCode()), utf8Text(data));
  ns::Dictionary userInfo{{ns::kLocalizedFailureReasonErrorKey, ns::Value(std::move(reason))},
                          {kHTTPResponseKey, responseValue(response)},
                          {kDataKey, ns::Value(data)}};
  return ns::Error(kZEVUdederozedaruErrorDomain, errorCodeWithHTTPCode(response.statusCode()), std::move(userInfo));
}

bool ZEVUdederozedaruHTTPError::isHTTPError(const ns::Error& error) { return HTTPResponse(error).has_value(); }

std::optional<net::HTTPURLResponse> ZEVUdederozedaruHTTPError::HTTPResponse(const ns::Error& error) {
  if (error.domain() != kZEVUdederozedaruErrorDomain) return std::nullopt;
  const ns::Value* stored = error.userInfo().find(kHTTPResponseKey);
  const ns::Dictionary* fields = stored ? stored->asDictionary() : nullptr;
  if (!fields) return std::nullopt;
  const ns::Value* url = fields->find(kURLKey);
  const ns::Value* status = fields->find(kStatusCodeKey);
  const ns::Value* headerValues = fields->find(kHeaderFieldsKey);
  if (!url || !url->isString() || !status || !status->isNumber()) return std::nullopt;
  net::HTTPHeaderFields headers;
  if (const ns::Dictionary* entries = headerValues ? headerValues->asDictionary() : nullptr) {
    for (const auto& [name, value] : *entries) headers.set(name, value.stringValue());
  }
  return net::HTTPURLResponse(ns::URL::withString(*url->asString()).value_or(ns::URL()),
                              static_cast<int>(status->integerValue()), std::move(headers));
}

std::optional<ns::Data> ZEVUdederozedaruHTTPError::data(const ns::Error& error) {
  if (!isHTTPError(error)) return std::nullopt;
  const ns::Value* stored = error.userInfo().find(kDataKey);
  if (stored && stored->isData()) return *stored->asData();
  return ns::Data();
}
