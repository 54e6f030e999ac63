// An archive read into memory entry by entry, under the rules of an
// extraction: names are decoded and sanitized the same way (no entry names
// a place outside the archive's own tree), "__MACOSX/" entries are left
// out, an archive whose central directory declares more entries or bytes
// than the limits allow, or whose entries share their compressed data (one
// stream inflated again and again), is refused before any data is read,
// and every entry is checked against its size and CRC. Links are listed as
// links; nothing is followed and nothing touches the disk.
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Archive/VLZipLimits.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

class VLZipMemoryReader {
 public:
  struct Entry {
    std::string path;                     // sanitized, without a trailing "/"
    std::vector<std::string> components;  // the segments of `path`
    bool isDirectory = false;
    bool isSymlink = false;
    bool isEncrypted = false;
    bool climbsOut = false;  // its raw name started at the root or climbed above it
    uint64_t size = 0;     // uncompressed, as declared
    uint32_t dosDate = 0;  // MS-DOS date and time, local
    unz64_file_pos position{};
  };

  // Opens the archive and lists its entries in archive order. Errors of
  // "VLZipArchiveErrorDomain": -1 not an archive, -3 an entry's information
  // cannot be read, -8 past the limits or entries that share their data.
  static std::unique_ptr<VLZipMemoryReader> open(const std::string& path, const VLZipExtractionLimits& limits,
                                                 ns::Error* error);
  ~VLZipMemoryReader();
  VLZipMemoryReader(const VLZipMemoryReader&) = delete;
  VLZipMemoryReader& operator=(const VLZipMemoryReader&) = delete;

  const std::vector<Entry>& entries() const { return entries_; }

  // The whole content of an entry (a link's is its target; a directory's is
  // empty). Errors: -2 the entry cannot be opened (encrypted entries need a
  // password this reader does not take), -3 "crc check failed for file"
  // when its size or CRC differs from its header, -4 its data cannot be
  // read or decoded, -8 past the limits.
  std::optional<ns::Data> read(const Entry& entry, ns::Error* error);

 private:
  VLZipMemoryReader(unzFile zip, VLZipBudget budget) : zip_(zip), budget_(budget) {}
  bool entriesShareData();
  unzFile zip_;
  VLZipBudget budget_;
  std::vector<Entry> entries_;
};
