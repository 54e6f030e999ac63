// Reads the current entry of an open archive. Unencrypted entries go
// through minizip; encrypted ones are read raw, decrypted (traditional
// encryption) and inflated here, with the same result codes.
#pragma once

#include <minizip/unzip.h>
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Archive/VLZipCrypto.h"

class VLZipEntryReader {
 public:
  // The password does not fit the entry.
  static constexpr int kPasswordError = -108;

  explicit VLZipEntryReader(unzFile zip) : zip_(zip) {}
  ~VLZipEntryReader();
  VLZipEntryReader(const VLZipEntryReader&) = delete;
  VLZipEntryReader& operator=(const VLZipEntryReader&) = delete;

  // Opens the current entry. An encrypted entry needs its password (absent
  // or wrong: kPasswordError); an unencrypted one ignores it.
  int open(const std::optional<std::string>& password);
  // Bytes read (0 at the end), or a negative code: Z_DATA_ERROR for data
  // that does not decode, other codes for read failures.
  int read(void* buffer, unsigned size);
  // Closes the entry: UNZ_CRCERROR when it was read to its end and its
  // checksum does not match. Safe to call when not open.
  int close();

 private:
  int readDecrypted(uint8_t* buffer, unsigned size);

  unzFile zip_;
  bool open_ = false;
  bool encrypted_ = false;
  // Encrypted entries only.
  std::unique_ptr<VLZipCrypto> crypto_;
  int method_ = 0;
  z_stream stream_{};
  bool inflating_ = false;
  bool finished_ = false;
  std::vector<uint8_t> input_;
  uLong crc_ = 0;
  uLong expectedCrc_ = 0;
};
