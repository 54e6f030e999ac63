// Classifies a finished request of the crash reporter and turns failures
// into errors of the "DVCRNetworkError" domain, whose user info carries the
// response class ("type"), "status_code", "request_id" and "content_type".
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Network/HTTPURLResponse.h"
#include "Platform/Network/URLRequest.h"

inline constexpr const char* kDVCRNetworkErrorDomain = "DVCRNetworkError";

enum DVCRNetworkErrorCode : int64_t {
  DVCRNetworkErrorRetryable = -1,      // response class 3 or 4
  DVCRNetworkErrorTaskNotCreated = -3,
  DVCRNetworkErrorFailure = -4,        // class 1, or class 0 of another content type
  DVCRNetworkErrorRejected = -5,       // class 2
  DVCRNetworkErrorRetryLimit = -6,     // user info "retryLimit" and the failing URL
};

enum class DVCRNetworkClientResponseType : int {
  Success = 0,
  Failure = 1,
  Rejected = 2,     // not worth repeating
  Retryable = 3,
  Throttled = 4,    // retryable
};

class DVCRNetworkResponseHandler {
 public:
  using Block = std::function<void(bool retry, std::optional<ns::Error> error)>;

  static std::optional<std::string> headerForResponse(const std::optional<net::HTTPURLResponse>& response,
                                                      std::string_view key);
  // "Retry-After" in seconds; 2 when absent, negative, not finite or over a
  // day (unreadable is 0).
  static double retryValueForResponse(const std::optional<net::HTTPURLResponse>& response);
  static std::optional<std::string> requestIdForResponse(const std::optional<net::HTTPURLResponse>& response);
  static bool contentTypeForResponse(const std::optional<net::HTTPURLResponse>& response,
                                     const net::URLRequest& request);
  // Only URL-loading errors, and not those that would fail the same way again.
  static bool retryableURLError(const ns::Error& error);
  // A status of 0 (no HTTP response) is a plain failure.
  static DVCRNetworkClientResponseType clientResponseType(int statusCode);
  static std::optional<ns::Error> errorForResponse(const std::optional<net::HTTPURLResponse>& response,
                                                   DVCRNetworkClientResponseType type, int status);
  static ns::Error errorForCode(int64_t code, ns::Dictionary userInfo);
  static void handleCompletedResponse(const std::optional<net::HTTPURLResponse>& response,
                                      const net::URLRequest& originalRequest, const std::optional<ns::Error>& error,
                                      const Block& block);
};
