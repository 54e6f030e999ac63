// Writes one entry into an archive being created. Without a password the
// data goes through minizip; with one it is deflated and encrypted here
// (traditional encryption) and handed to minizip raw.
#pragma once

#include <minizip/zip.h>
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Archive/VLZipCrypto.h"

class VLZipEntryWriter {
 public:
  struct Options {
    int compressionLevel = -1;  // zlib's: -1 default, 0 stored
    std::optional<std::string> password;
    unsigned long crc = 0;      // of the whole data; needed up front with a password
    unsigned long versionMadeBy = 0;
    unsigned long flagBase = 0;
    int zip64 = 0;
  };

  explicit VLZipEntryWriter(zipFile zip) : zip_(zip) {}
  ~VLZipEntryWriter();
  VLZipEntryWriter(const VLZipEntryWriter&) = delete;
  VLZipEntryWriter& operator=(const VLZipEntryWriter&) = delete;

  bool open(const std::string& name, const zip_fileinfo& info, const Options& options);
  bool write(const void* bytes, size_t size);
  // false when any write failed, or the data's checksum is not the one
  // given up front (the file changed while it was read).
  bool close();

 private:
  bool emit(bool finish);

  zipFile zip_;
  bool open_ = false;
  bool failed_ = false;
  std::unique_ptr<VLZipCrypto> crypto_;
  z_stream stream_{};
  bool deflating_ = false;
  std::vector<uint8_t> output_;
  uLong crc_ = 0;
  uLong expectedCrc_ = 0;
  uint64_t size_ = 0;
};
