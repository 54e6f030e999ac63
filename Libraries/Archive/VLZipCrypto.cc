#include "Libraries/Archive/VLZipCrypto.h"

#include <openssl/rand.h>
#include <zlib.h>

namespace {

// One step of CRC-32 over a byte, without the pre- and post-inversion.
uint32_t crcStep(uint32_t crc, uint8_t byte) {
  static const z_crc_t* table = get_crc_table();
  return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace

VLZipCrypto::VLZipCrypto(std::string_view password) : keys_{0x12345678u, 0x23456789u, 0x34567890u} {
  for (char c : password) update(static_cast<uint8_t>(c));
}

void VLZipCrypto::update(uint8_t plain) {
  keys_[0] = crcStep(keys_[0], plain);
  keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
  keys_[2] = crcStep(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
}

uint8_t VLZipCrypto::streamByte() const {
  // Unsigned 32-bit: the product of two 16-bit values overflows an int.
  const uint32_t t = (keys_[2] | 2) & 0xFFFFu;
  return static_cast<uint8_t>((t * (t ^ 1u)) >> 8);
}

uint8_t VLZipCrypto::encrypt(uint8_t plain) {
  uint8_t cipher = plain ^ streamByte();
  update(plain);
  return cipher;
}

uint8_t VLZipCrypto::decrypt(uint8_t cipher) {
  uint8_t plain = cipher ^ streamByte();
  update(plain);
  return plain;
}

void VLZipCrypto::encrypt(uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) bytes[i] = encrypt(bytes[i]);
}

void VLZipCrypto::decrypt(uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) bytes[i] = decrypt(bytes[i]);
}

std::array<uint8_t, VLZipCrypto::kHeaderSize> VLZipCrypto::header(uint8_t checkByte) {
  std::array<uint8_t, kHeaderSize> h{};
  if (RAND_bytes(h.data(), static_cast<int>(kHeaderSize - 1)) != 1) {
    // Without a random source the header is still valid, only predictable.
    for (size_t i = 0; i + 1 < kHeaderSize; ++i) h[i] = static_cast<uint8_t>(i * 37 + 11);
  }
  h[kHeaderSize - 1] = checkByte;
  encrypt(h.data(), h.size());
  return h;
}

bool VLZipCrypto::acceptHeader(const uint8_t* header, uint8_t checkByte) {
  uint8_t last = 0;
  for (size_t i = 0; i < kHeaderSize; ++i) last = decrypt(header[i]);
  return last == checkByte;
}
