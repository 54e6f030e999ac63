#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"

#include <openssl/evp.h>

#include <cstdio>

#include "Platform/Foundation/StringUtf16.h"

std::array<uint8_t, 16> msr_MD5Data(const ns::Data& data) {
  std::array<uint8_t, 16> digest{};
  unsigned int length = 0;
  EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_md5(), nullptr);
  return digest;
}

int64_t msr_64LeastSignificantBits(const uint8_t* bytes, size_t count) {
  size_t start = count > 8 ? count - 8 : 0;
  uint64_t value = 0;
  for (size_t i = start; i < count; ++i) value = (value << 8) | bytes[i];
  return static_cast<int64_t>(value);
}

int64_t msr_64LSBMD5(const ns::Data& data) {
  auto digest = msr_MD5Data(data);
  return msr_64LeastSignificantBits(digest.data(), digest.size());
}

std::optional<std::string> msr_MD5String(const std::string& text) {
  if (!ns::isValidUtf8(text)) return std::nullopt;
  auto digest = msr_MD5Data(ns::Data(text.begin(), text.end()));
  std::string hex;
  hex.reserve(32);
  char pair[3];
  for (uint8_t byte : digest) {
    std::snprintf(pair, sizeof pair, "%02x", byte);
    hex += pair;
  }
  return hex;
}
