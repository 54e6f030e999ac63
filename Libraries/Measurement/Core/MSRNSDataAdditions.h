// Digests and fingerprints of byte strings: the raw events' shared metadata
// is stored once per fingerprint, bundles carry a checksum, and a reset
// advertising identifier is noticed by its stored hash.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

// The 16-byte MD5 digest of the bytes.
std::array<uint8_t, 16> msr_MD5Data(const ns::Data& data);

// The last 8 bytes (all of them when shorter) read as a big-endian unsigned
// number, given as a signed 64-bit integer; 0 for no bytes.
int64_t msr_64LeastSignificantBits(const uint8_t* bytes, size_t count);
inline int64_t msr_64LeastSignificantBits(const ns::Data& data) {
  return msr_64LeastSignificantBits(data.data(), data.size());
}

// Bytes 8 to 15 of the MD5 digest, big-endian, as a signed 64-bit integer.
int64_t msr_64LSBMD5(const ns::Data& data);

// The MD5 of the text's UTF-8 bytes as 32 lower-case hexadecimal digits;
// nothing when the text is not valid UTF-8 (it could not be converted
// without loss).
std::optional<std::string> msr_MD5String(const std::string& text);
