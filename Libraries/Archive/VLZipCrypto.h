// Traditional zip encryption (the three-key stream cipher of the zip
// format), done here because the system's minizip is built without
// decryption and its encryption is not read by other tools.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

class VLZipCrypto {
 public:
  static constexpr size_t kHeaderSize = 12;

  explicit VLZipCrypto(std::string_view password);

  uint8_t encrypt(uint8_t plain);
  uint8_t decrypt(uint8_t cipher);
  void encrypt(uint8_t* bytes, size_t size);
  void decrypt(uint8_t* bytes, size_t size);

  // The encrypted 12-byte header that starts an entry's data: random bytes
  // ending in `checkByte` (the high byte of the CRC, or of the DOS time when
  // the sizes follow the data).
  std::array<uint8_t, kHeaderSize> header(uint8_t checkByte);
  // Decrypts an entry's header; false when its last byte is not `checkByte`
  // (the password is wrong).
  bool acceptHeader(const uint8_t* header, uint8_t checkByte);

 private:
  void update(uint8_t plain);
  uint8_t streamByte() const;
  uint32_t keys_[3];
};
