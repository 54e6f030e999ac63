// The device is offline. A request reaches only
// - loopback addresses ("127.x.x.x", "::1", "localhost"), and
// - hosts named in the device's host map, each of which connects to the
//   loopback port the map gives (the URL, "Host" and the TLS name stay the
//   host's own);
// every other host fails at once as offline, with no name lookup and no
// proxy.
//
// Files under the device directory (ns::Device), read at each request:
//   Network/hosts                      one "<host> <port>" a line; "#" starts
//                                      a comment; names match without case
//   Network/TrustedCertificates/*.pem  certificate authorities the device
//                                      trusts besides the system's
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Error.h"

namespace net {

std::string hostMapPath();
std::string trustedCertificatesDirectory();

// Adds (or replaces) the line of `host` in the host map.
bool mapHostToLoopback(std::string_view host, int port, ns::Error* error = nullptr);
// Stores `pem` as "<name>.pem" among the trusted authorities.
bool trustCertificateAuthority(std::string_view name, std::string_view pem, ns::Error* error = nullptr);

struct HostRoute {
  enum class Kind { Loopback, Mapped, Offline };
  Kind kind = Kind::Offline;
  int port = 0;  // the loopback port of a mapped host
};
HostRoute routeForHost(std::string_view host);

}  // namespace net
