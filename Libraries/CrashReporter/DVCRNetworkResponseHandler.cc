#include "Libraries/CrashReporter/DVCRNetworkResponseHandler.h"

#include <cstdlib>

#include "Platform/Foundation/StringCase.h"
#include "Platform/Network/URLError.h"

namespace {
constexpr double kLongestRetryAfterSeconds = 86400;
}  // namespace

std::optional<std::string> DVCRNetworkResponseHandler::headerForResponse(
    const std::optional<net::HTTPURLResponse>& response, std::string_view key) {
  if (!response) return std::nullopt;
  return response->valueForHTTPHeaderField(key);
}

double DVCRNetworkResponseHandler::retryValueForResponse(const std::optional<net::HTTPURLResponse>& response) {
  std::optional<std::string> header = headerForResponse(response, "Retry-After");
  if (!header) return 2.0;
  double value = std::strtod(header->c_str(), nullptr);
  // A wait the scheduler can keep: "nan" would fire at once and "inf" or
  // "1e400" never. Outside 0 to a day the header counts as absent, as the
  // event transport's uploader treats it.
  if (!(value >= 0 && value <= kLongestRetryAfterSeconds)) return 2.0;
  return value;
}

std::optional<std::string> DVCRNetworkResponseHandler::requestIdForResponse(
    const std::optional<net::HTTPURLResponse>& response) {
  return headerForResponse(response, "X-Request-Id");
}

bool DVCRNetworkResponseHandler::contentTypeForResponse(const std::optional<net::HTTPURLResponse>& response,
                                                        const net::URLRequest& request) {
  std::optional<std::string> accept = request.valueForHTTPHeaderField("Accept");
  if (!accept) return true;
  std::optional<std::string> contentType = headerForResponse(response, "Content-Type");
  if (!contentType) return false;
  static constexpr std::string_view kCharsetSeparator = "; charset=";
  size_t separator = contentType->find(kCharsetSeparator);
  std::string type = contentType->substr(0, separator);
  if (ns::lowercaseString(type) != ns::lowercaseString(*accept)) return false;
  std::optional<std::string> acceptCharset = request.valueForHTTPHeaderField("Accept-Charset");
  if (!acceptCharset || separator == std::string::npos) return true;
  return ns::lowercaseString(contentType->substr(separator + kCharsetSeparator.size())) ==
         ns::lowercaseString(*acceptCharset);
}

bool DVCRNetworkResponseHandler::retryableURLError(const ns::Error& error) {
  if (error.domain() != net::kURLErrorDomain) return false;
  int64_t code = error.code();
  if (code >= -1206 && code <= -1200) return false;
  switch (code) {
    case -1022: case -1013: case -1012: case -1010: case -1007: case -1002: case -1000: case -995:
    case -1103: case -1101: case -1100:
      return false;
    default:
      return true;
  }
}

DVCRNetworkClientResponseType DVCRNetworkResponseHandler::clientResponseType(int statusCode) {
  switch (statusCode) {
    case 200: case 201: case 202: case 204: case 304:
      return DVCRNetworkClientResponseType::Success;
    case 400: case 401: case 403: case 404: case 406: case 410: case 411: case 413: case 419: case 422: case 431:
      return DVCRNetworkClientResponseType::Rejected;
    case 408:
      return DVCRNetworkClientResponseType::Retryable;
    case 420: case 429:
      return DVCRNetworkClientResponseType::Throttled;
    default:
      if (statusCode >= 500 && statusCode <= 599) return DVCRNetworkClientResponseType::Retryable;
      return DVCRNetworkClientResponseType::Failure;
  }
}

ns::Error DVCRNetworkResponseHandler::errorForCode(int64_t code, ns::Dictionary userInfo) {
  return ns::Error(kDVCRNetworkErrorDomain, code, std::move(userInfo));
}

std::optional<ns::Error> DVCRNetworkResponseHandler::errorForResponse(
    const std::optional<net::HTTPURLResponse>& response, DVCRNetworkClientResponseType type, int status) {
  if (type == DVCRNetworkClientResponseType::Success) return std::nullopt;
  ns::Dictionary userInfo{
      {"type", ns::Value(static_cast<int>(type))},
      {"status_code", ns::Value(status)},
      {"request_id", ns::Value(requestIdForResponse(response).value_or(""))},
      {"content_type", ns::Value(headerForResponse(response, "Content-Type").value_or(""))},
  };
  int64_t code = type == DVCRNetworkClientResponseType::Rejected  ? DVCRNetworkErrorRejected
                 : type == DVCRNetworkClientResponseType::Failure ? DVCRNetworkErrorFailure
                                                                  : DVCRNetworkErrorRetryable;
  return errorForCode(code, std::move(userInfo));
}

void DVCRNetworkResponseHandler::handleCompletedResponse(const std::optional<net::HTTPURLResponse>& response,
                                                         const net::URLRequest& originalRequest,
                                                         const std::optional<ns::Error>& error, const Block& block) {
  if (error) {
    block(retryableURLError(*error), error);
    return;
  }
  int status = response ? response->statusCode() : 0;
  DVCRNetworkClientResponseType type = clientResponseType(status);
  switch (type) {
    case DVCRNetworkClientResponseType::Success:
      if (contentTypeForResponse(response, originalRequest)) {
        block(false, std::nullopt);
      } else {
        block(false, errorForResponse(response, DVCRNetworkClientResponseType::Failure, status));
      }
      return;
    case DVCRNetworkClientResponseType::Failure:
    case DVCRNetworkClientResponseType::Rejected:
      block(false, errorForResponse(response, type, status));
      return;
    case DVCRNetworkClientResponseType::Retryable:
    case DVCRNetworkClientResponseType::Throttled:
      block(true, errorForResponse(response, type, status));
      return;
  }
}
