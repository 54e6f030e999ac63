#include "Platform/Network/detail/TLSTrust.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <filesystem>
#include <vector>

#include "Platform/Foundation/Device.h"
#include "Platform/Network/OfflineDevice.h"

namespace net::detail {
namespace {

void addDeviceAuthorities(X509_STORE* store) {
  if (!ns::Device::isBooted()) return;
  std::error_code ec;
  std::filesystem::directory_iterator files(trustedCertificatesDirectory(), ec);
  if (ec) return;
  for (const auto& entry : files) {
    if (entry.path().extension() != ".pem") continue;
    BIO* bio = BIO_new_file(entry.path().c_str(), "r");
    if (!bio) continue;
    while (X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
      X509_STORE_add_cert(store, certificate);  // a duplicate is harmless
      X509_free(certificate);
    }
    ERR_clear_error();  // the read that ends the loop leaves "no start line"
    BIO_free(bio);
  }
}

bool isAddressLiteral(const std::string& host) {
  unsigned char buffer[sizeof(in6_addr)];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

ns::Data derOf(X509* certificate) {
  int length = i2d_X509(certificate, nullptr);
  if (length <= 0) return {};
  ns::Data der(static_cast<size_t>(length));
  unsigned char* out = der.data();
  i2d_X509(certificate, &out);
  return der;
}

}  // namespace

void prepareTLSContext(SSL_CTX* context, int (*verify)(X509_STORE_CTX*, void*), void* arg) {
  SSL_CTX_load_verify_dir(context, X509_get_default_cert_dir());  // looked up lazily
  addDeviceAuthorities(SSL_CTX_get_cert_store(context));
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_cert_verify_callback(context, verify, arg);
  SSL_CTX_set_mode(context, SSL_MODE_ASYNC);
  SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
  ERR_clear_error();
}

std::shared_ptr<const ServerTrust> evaluateServerTrust(X509_STORE_CTX* storeContext, const std::string& host) {
  std::string name = host;
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(storeContext);
  if (isAddressLiteral(name)) {
    X509_VERIFY_PARAM_set1_ip_asc(param, name.c_str());
  } else {
    X509_VERIFY_PARAM_set1_host(param, name.c_str(), name.size());
  }
  bool trusted = X509_verify_cert(storeContext) == 1;
  std::string reason = trusted ? "" : X509_verify_cert_error_string(X509_STORE_CTX_get_error(storeContext));

  std::vector<ns::Data> chain;
  if (STACK_OF(X509)* sent = X509_STORE_CTX_get0_untrusted(storeContext)) {
    for (int i = 0; i < sk_X509_num(sent); ++i) chain.push_back(derOf(sk_X509_value(sent, i)));
  } else if (X509* leaf = X509_STORE_CTX_get0_cert(storeContext)) {
    chain.push_back(derOf(leaf));
  }
  ERR_clear_error();
  return std::make_shared<const ServerTrust>(name, std::move(chain), trusted, std::move(reason));
}

}  // namespace net::detail
