// The head of an HTTP response: the URL it answers, the status and the
// header fields. Any status, 100 to 599, is a response, never an error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Foundation/URL.h"
#include "Platform/Network/HTTPHeaderFields.h"

namespace net {

class HTTPURLResponse {
 public:
  HTTPURLResponse(ns::URL url, int statusCode, HTTPHeaderFields headers)
      : url_(std::move(url)), statusCode_(statusCode), headers_(std::move(headers)) {}

  const ns::URL& url() const { return url_; }
  int statusCode() const { return statusCode_; }
  // Fields received more than once are joined with ", ".
  const HTTPHeaderFields& allHeaderFields() const { return headers_; }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const { return headers_.value(field); }
  // "Content-Length" as sent (before any content decoding), or -1.
  int64_t expectedContentLength() const;

  bool operator==(const HTTPURLResponse& other) const = default;

 private:
  ns::URL url_;
  int statusCode_;
  HTTPHeaderFields headers_;
};

}  // namespace net
