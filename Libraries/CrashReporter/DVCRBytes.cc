#include "Libraries/CrashReporter/DVCRBytes.h"

#include <openssl/sha.h>

#include <cstring>

void DVCRHexFromByte(uint8_t byte, char out[2]) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out[0] = kDigits[byte >> 4];
  out[1] = kDigits[byte & 0xF];
}

void DVCRSafeHexToString(const uint8_t* bytes, size_t length, char* out) {
  if (out == nullptr) return;
  memset(out, 0, 2 * length + 1);
  if (bytes == nullptr) return;
  for (size_t i = 0; i < length; ++i) DVCRHexFromByte(bytes[i], out + 2 * i);
}

void DVCRHexEncodeInChunks(const uint8_t* bytes, size_t length, DVCRHexChunkFunction chunk, void* context) {
  constexpr size_t kChunkBytes = 16;
  char digits[2 * kChunkBytes];
  for (size_t at = 0; at < length; at += kChunkBytes) {
    size_t take = length - at < kChunkBytes ? length - at : kChunkBytes;
    for (size_t i = 0; i < take; ++i) DVCRHexFromByte(bytes[at + i], digits + 2 * i);
    chunk(context, digits, 2 * take);
  }
}

std::string DVCRNSDataToNSString(const ns::Data& data) {
  std::string out(2 * data.size(), '\0');
  for (size_t i = 0; i < data.size(); ++i) DVCRHexFromByte(data[i], out.data() + 2 * i);
  return out;
}

namespace {
template <size_t N>
std::string hexOfDigest(const unsigned char (&digest)[N]) {
  return DVCRNSDataToNSString(ns::Data(digest, digest + N));
}
}  // namespace

std::string DVCRHashBytes(const void* bytes, size_t length) {
  unsigned char digest[SHA_DIGEST_LENGTH];
  SHA1(static_cast<const unsigned char*>(bytes), length, digest);
  return hexOfDigest(digest);
}

std::string DVCRHashNSData(const ns::Data& data) { return DVCRHashBytes(data.data(), data.size()); }

std::string DVCR256HashBytes(const void* bytes, size_t length) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(static_cast<const unsigned char*>(bytes), length, digest);
  return hexOfDigest(digest);
}

std::string DVCR256HashNSData(const ns::Data& data) { return DVCR256HashBytes(data.data(), data.size()); }
