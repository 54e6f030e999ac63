// What a TLS server proved about itself, and how a session's delegate
// answers for it. The verdict is reached during the handshake against the
// system's certificate authorities, the ones the device trusts
// (OfflineDevice.h) and the host name the URL names.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Value.h"

namespace net {

class ServerTrust {
 public:
  ServerTrust(std::string host, std::vector<ns::Data> certificates, bool trusted, std::string failureReason)
      : host_(std::move(host)),
        certificates_(std::move(certificates)),
        trusted_(trusted),
        failureReason_(std::move(failureReason)) {}

  // The host name the certificate was checked against.
  const std::string& host() const { return host_; }
  // The chain as the server sent it, leaf first, each certificate in DER.
  const std::vector<ns::Data>& certificates() const { return certificates_; }
  // Whether the chain leads to a trusted authority and names the host.
  bool evaluate() const { return trusted_; }
  // Why it is not trusted ("" when it is).
  const std::string& failureReason() const { return failureReason_; }

 private:
  std::string host_;
  std::vector<ns::Data> certificates_;
  bool trusted_;
  std::string failureReason_;
};

inline constexpr const char* kURLAuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust";

struct URLProtectionSpace {
  std::string host;
  int port = 443;
  std::string protocol = "https";
  std::string authenticationMethod = kURLAuthenticationMethodServerTrust;
  std::shared_ptr<const ServerTrust> serverTrust;
};

struct URLAuthenticationChallenge {
  URLProtectionSpace protectionSpace;
  int previousFailureCount = 0;
};

// A credential for a server-trust challenge: accepting the trust it holds.
struct URLCredential {
  std::shared_ptr<const ServerTrust> trust;
  static URLCredential forTrust(std::shared_ptr<const ServerTrust> trust) { return URLCredential{std::move(trust)}; }
};

enum class URLSessionAuthChallengeDisposition {
  UseCredential = 0,           // accept the server (with a credential; without one: default handling)
  PerformDefaultHandling = 1,  // keep the verdict
  CancelAuthenticationChallenge = 2,  // the task fails as cancelled
  RejectProtectionSpace = 3,   // as default handling
};

using AuthChallengeCompletion =
    std::function<void(URLSessionAuthChallengeDisposition disposition, std::optional<URLCredential> credential)>;

}  // namespace net
