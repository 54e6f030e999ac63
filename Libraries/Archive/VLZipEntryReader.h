// Reads the current entry of an open archive. Unencrypted entries go
// through minizip; encrypted ones are read raw, decrypted (traditional
// encryption) and inflated here, with the same result codes.
//
// Every entry read to its end is checked here against its header, whatever
// the inflater says: the system's minizip compares the CRC only when the
// declared size was reached, so data that ends early would pass. More data
// than the header declares is a data error at once.
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
  // that does not decode or goes past the declared size, other codes for
  // read failures.
  int read(void* buffer, unsigned size);
  // Closes the entry: UNZ_CRCERROR when it was read to its end and its size
  // or checksum differs from its header. Safe to call when not open.
  int close();

 private:
  int readDecrypted(uint8_t* buffer, unsigned size);
  int readEncrypted(uint8_t* buffer, unsigned size);

  unzFile zip_;
  bool open_ = false;
  bool encrypted_ = false;
  // What was read so far, and what the header declares.
  bool finished_ = false;
  uLong crc_ = 0;
  uint64_t size_ = 0;
  uLong expectedCrc_ = 0;
  uint64_t expectedSize_ = 0;
  // Encrypted entries only.
  std::unique_ptr<VLZipCrypto> crypto_;
  int method_ = 0;
  z_stream stream_{};
  bool inflating_ = false;
  bool streamEnded_ = false;
  std::vector<uint8_t> input_;
};
