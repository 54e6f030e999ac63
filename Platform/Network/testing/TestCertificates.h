// For tests: a certificate authority and a server certificate it signed,
// made fresh with OpenSSL (EC P-256, valid from an hour ago for a day), so
// no key is ever committed and none expires in the repository.
#pragma once

#include <string>
#include <vector>

namespace net::testing {

struct TestCertificates {
  // `names`: the server's DNS names and IP address literals.
  static TestCertificates make(const std::vector<std::string>& names);

  std::string authorityPEM;  // the authority's certificate (what a client trusts)
  std::string serverCertificatePEM;
  std::string serverKeyPEM;
};

}  // namespace net::testing
