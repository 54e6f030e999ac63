#include "Platform/Foundation/Uuid.h"

#include <openssl/rand.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <random>

namespace ns {
namespace {

void fillRandom(uint8_t* out, size_t n) {
  if (RAND_bytes(out, static_cast<int>(n)) == 1) return;
  // The system source failed (it should not): never hand out a fixed UUID.
  std::random_device device;
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(device());
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Uuid Uuid::random() {
  Bytes b;
  fillRandom(b.data(), b.size());
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return Uuid(b);
}

std::optional<Uuid> Uuid::fromString(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  Bytes b{};
  size_t k = 0;
  for (size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    b[k++] = static_cast<uint8_t>(hi << 4 | lo);
    i += 2;
  }
  return Uuid(b);
}

std::string Uuid::uuidString() const {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  out.reserve(36);
  for (size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += digits[bytes_[i] >> 4];
    out += digits[bytes_[i] & 15];
  }
  return out;
}

std::string globallyUniqueString() {
  static std::atomic<uint64_t> counter{0};
  char tail[48];
  std::snprintf(tail, sizeof tail, "-%ld-%016llX", static_cast<long>(getpid()),
                static_cast<unsigned long long>(++counter));
  return Uuid::random().uuidString() + tail;
}

}  // namespace ns
