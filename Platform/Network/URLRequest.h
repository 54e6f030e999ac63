// A URL load request: the URL, the method, the header fields, an optional
// body, the time-out and the cache policy. A value; copies are independent.
//
// Whatever a request says, the session adds only "Host", "Content-Length"
// (the body's real length, replacing any given), "Accept" ("*/*"),
// "Accept-Encoding" ("gzip, deflate") and "User-Agent" (the main bundle's
// name and version) where the request has none of its own.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Network/HTTPHeaderFields.h"

namespace net {

// The platform's cache policies, by value. There is no response cache here:
// every policy loads from the network ("cached data, else load" loads;
// "cached data, don't load" loads as well rather than fail).
enum class URLRequestCachePolicy {
  UseProtocolCachePolicy = 0,
  ReloadIgnoringLocalCacheData = 1,
  ReturnCacheDataElseLoad = 2,
  ReturnCacheDataDontLoad = 3,
  ReloadIgnoringLocalAndRemoteCacheData = 4,
  ReloadRevalidatingCacheData = 5,
};

inline constexpr double kDefaultTimeoutInterval = 60.0;

class URLRequest {
 public:
  URLRequest() = default;
  explicit URLRequest(ns::URL url, URLRequestCachePolicy cachePolicy = URLRequestCachePolicy::UseProtocolCachePolicy,
                      double timeoutInterval = kDefaultTimeoutInterval)
      : url_(std::move(url)), cachePolicy_(cachePolicy), timeoutInterval_(timeoutInterval) {}

  const ns::URL& url() const { return url_; }
  void setURL(ns::URL url) { url_ = std::move(url); }

  // "GET" unless set.
  const std::string& httpMethod() const { return method_; }
  void setHTTPMethod(std::string method) { method_ = std::move(method); }

  const HTTPHeaderFields& allHTTPHeaderFields() const { return headers_; }
  void setAllHTTPHeaderFields(HTTPHeaderFields headers) { headers_ = std::move(headers); }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const { return headers_.value(field); }
  // Replaces the field's value; nullopt removes the field.
  void setValue(std::optional<std::string> value, std::string_view field);
  // Appends to the field's value after ", ".
  void addValue(std::string_view value, std::string_view field) { headers_.add(field, value); }

  // The body, or null. Copies of a request share its bytes.
  const ns::Data* httpBody() const { return body_.get(); }
  const std::shared_ptr<const ns::Data>& sharedHTTPBody() const { return body_; }
  void setHTTPBody(std::optional<ns::Data> body) {
    body_ = body ? std::make_shared<const ns::Data>(std::move(*body)) : nullptr;
  }

  // Seconds the request may stay idle (nothing sent or received) before it
  // fails with a time-out. Real time.
  double timeoutInterval() const { return timeoutInterval_; }
  void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }

  URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
  void setCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }

  bool operator==(const URLRequest& other) const;

 private:
  ns::URL url_;
  std::string method_ = "GET";
  HTTPHeaderFields headers_;
  std::shared_ptr<const ns::Data> body_;
  URLRequestCachePolicy cachePolicy_ = URLRequestCachePolicy::UseProtocolCachePolicy;
  double timeoutInterval_ = kDefaultTimeoutInterval;
};

}  // namespace net
