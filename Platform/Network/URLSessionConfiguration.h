// How a session behaves: its kind, the headers it adds to every request,
// its time-outs and cache policy.
//
// - default: keeps cookies for the session's life (nothing is stored on
//   the device);
// - ephemeral: keeps no cookies at all;
// - background (identifier): as default; here its tasks run in the process
//   and end with it, and "events finished" comes when the application hands
//   the session's events in (URLSession::handleEventsForBackgroundURLSession).
#pragma once

#include <optional>
#include <string>

#include "Platform/Network/HTTPHeaderFields.h"
#include "Platform/Network/URLRequest.h"

namespace net {

class URLSessionConfiguration {
 public:
  enum class Kind { Default, Ephemeral, Background };

  static URLSessionConfiguration defaultSessionConfiguration() { return URLSessionConfiguration(Kind::Default); }
  static URLSessionConfiguration ephemeralSessionConfiguration() {
    return URLSessionConfiguration(Kind::Ephemeral);
  }
  static URLSessionConfiguration backgroundSessionConfiguration(std::string identifier) {
    URLSessionConfiguration configuration(Kind::Background);
    configuration.identifier_ = std::move(identifier);
    return configuration;
  }

  Kind kind() const { return kind_; }
  // The background session's identifier; absent for the other kinds.
  const std::optional<std::string>& identifier() const { return identifier_; }
  bool keepsCookies() const { return kind_ != Kind::Ephemeral; }

  // Sent with every request that does not set the field itself.
  const HTTPHeaderFields& HTTPAdditionalHeaders() const { return additionalHeaders_; }
  void setHTTPAdditionalHeaders(HTTPHeaderFields headers) { additionalHeaders_ = std::move(headers); }

  // Idle time-out of every request (the shorter of this and the request's
  // own applies), and the longest a task may take from start to end.
  double timeoutIntervalForRequest() const { return timeoutForRequest_; }
  void setTimeoutIntervalForRequest(double seconds) { timeoutForRequest_ = seconds; }
  double timeoutIntervalForResource() const { return timeoutForResource_; }
  void setTimeoutIntervalForResource(double seconds) { timeoutForResource_ = seconds; }

  URLRequestCachePolicy requestCachePolicy() const { return cachePolicy_; }
  void setRequestCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }

 private:
  explicit URLSessionConfiguration(Kind kind) : kind_(kind) {}

  Kind kind_;
  std::optional<std::string> identifier_;
  HTTPHeaderFields additionalHeaders_;
  double timeoutForRequest_ = kDefaultTimeoutInterval;
  double timeoutForResource_ = 7 * 24 * 3600.0;
  URLRequestCachePolicy cachePolicy_ = URLRequestCachePolicy::UseProtocolCachePolicy;
};

}  // namespace net
