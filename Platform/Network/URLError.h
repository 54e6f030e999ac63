// Transport failures: errors of the platform's URL-loading domain with its
// codes, the failing URL in the user info under the platform's keys. An
// HTTP status is never one of these: it arrives as a response.
#pragma once

#include <cstdint>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/URL.h"

namespace net {

inline constexpr const char* kURLErrorDomain = "NSURLErrorDomain";
// Both hold the URL's absolute string (a value here cannot hold a URL).
inline constexpr const char* kURLErrorFailingURLErrorKey = "NSErrorFailingURLKey";
inline constexpr const char* kURLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";

enum URLErrorCode : int64_t {
  kURLErrorUnknown = -1,
  kURLErrorCancelled = -999,
  kURLErrorBadURL = -1000,
  kURLErrorTimedOut = -1001,
  kURLErrorUnsupportedURL = -1002,
  kURLErrorCannotFindHost = -1003,
  kURLErrorCannotConnectToHost = -1004,
  kURLErrorNetworkConnectionLost = -1005,
  kURLErrorHTTPTooManyRedirects = -1007,
  kURLErrorNotConnectedToInternet = -1009,
  kURLErrorBadServerResponse = -1011,
  kURLErrorCannotDecodeRawData = -1015,
  kURLErrorFileDoesNotExist = -1100,
  kURLErrorSecureConnectionFailed = -1200,
  kURLErrorServerCertificateUntrusted = -1202,
  kURLErrorCannotCreateFile = -3000,
  kURLErrorCannotWriteToFile = -3003,
};

// An error of kURLErrorDomain with the platform's description of `code`
// and the failing URL.
ns::Error makeURLError(int64_t code, const ns::URL& failingURL);

}  // namespace net
