// What a URL-session data task answered: the HTTP response and the body,
// as the URL-session promise (ZULURLSessionPromises.h) fulfils with it.
#pragma once

#include <optional>

#include "Platform/Foundation/Value.h"
#include "Platform/Network/HTTPURLResponse.h"

class ZULURLSessionDataResponse {
 public:
  ZULURLSessionDataResponse(std::optional<net::HTTPURLResponse> response, std::optional<ns::Data> body)
      : HTTPResponse_(std::move(response)), HTTPBody_(std::move(body)) {}

  const std::optional<net::HTTPURLResponse>& HTTPResponse() const { return HTTPResponse_; }
  // May be absent.
  const std::optional<ns::Data>& HTTPBody() const { return HTTPBody_; }

 private:
  std::optional<net::HTTPURLResponse> HTTPResponse_;
  std::optional<ns::Data> HTTPBody_;
};
