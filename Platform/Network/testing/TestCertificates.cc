#include "Platform/Network/testing/TestCertificates.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace net::testing {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificates: ") + what);
}

Key newKey() {
  Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
  check(key != nullptr, "key");
  return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  check(extension != nullptr, "extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

Certificate newCertificate(const std::string& commonName, EVP_PKEY* key, X509* issuer) {
  Certificate certificate(X509_new(), &X509_free);
  X509_set_version(certificate.get(), 2);
  unsigned char serial[16];
  RAND_bytes(serial, sizeof serial);
  serial[0] &= 0x7f;
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate.get()));
  BN_free(number);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 24 * 3600);
  X509_NAME* name = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Quillbox tests"), -1,
                             -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                             -1, -1, 0);
  X509_set_issuer_name(certificate.get(), issuer ? X509_get_subject_name(issuer) : name);
  X509_set_pubkey(certificate.get(), key);
  return certificate;
}

std::string pemOf(X509* certificate) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, certificate);
  char* data = nullptr;
  long length = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<size_t>(length));
  BIO_free(bio);
  return pem;
}

std::string pemOf(EVP_PKEY* key) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  long length = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<size_t>(length));
  BIO_free(bio);
  return pem;
}

bool isAddress(const std::string& name) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, name.c_str(), buffer) == 1 || inet_pton(AF_INET6, name.c_str(), buffer) == 1;
}

}  // namespace

TestCertificates TestCertificates::make(const std::vector<std::string>& names) {
  check(!names.empty(), "a server needs a name");
  Key authorityKey = newKey();
  Certificate authority = newCertificate("Quillbox Test Authority", authorityKey.get(), nullptr);
  addExtension(authority.get(), authority.get(), NID_basic_constraints, "critical,CA:TRUE");
  addExtension(authority.get(), authority.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
  addExtension(authority.get(), authority.get(), NID_subject_key_identifier, "hash");
  check(X509_sign(authority.get(), authorityKey.get(), EVP_sha256()) > 0, "sign authority");

  Key serverKey = newKey();
  Certificate server = newCertificate(names.front(), serverKey.get(), authority.get());
  std::string alternatives;
  for (const std::string& name : names) {
    alternatives += (alternatives.empty() ? "" : ",") + std::string(isAddress(name) ? "IP:" : "DNS:") + name;
  }
  addExtension(server.get(), authority.get(), NID_basic_constraints, "critical,CA:FALSE");
  addExtension(server.get(), authority.get(), NID_key_usage, "critical,digitalSignature,keyEncipherment");
  addExtension(server.get(), authority.get(), NID_ext_key_usage, "serverAuth");
  addExtension(server.get(), authority.get(), NID_subject_alt_name, alternatives);
  addExtension(server.get(), authority.get(), NID_subject_key_identifier, "hash");
  addExtension(server.get(), authority.get(), NID_authority_key_identifier, "keyid:always");
  check(X509_sign(server.get(), authorityKey.get(), EVP_sha256()) > 0, "sign server");

  return TestCertificates{pemOf(authority.get()), pemOf(server.get()), pemOf(serverKey.get())};
}

}  // namespace net::testing
