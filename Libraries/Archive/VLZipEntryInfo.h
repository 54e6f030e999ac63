// The current entry of an open archive as its central directory states it:
// minizip's record and the raw name, with the sizes that the system's
// minizip leaves at their 32-bit marker (0xFFFFFFFF) taken from the entry's
// zip64 extra field instead.
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <string>

struct VLZipEntryInfo {
  unz_file_info64 info{};
  std::string rawName;

  // Reads the current entry; UNZ_OK or minizip's error.
  static int readCurrent(unzFile zip, VLZipEntryInfo* out);

  // The name ends in "/" or a backslash (an empty name is no directory).
  bool isDirectory() const;
  // Made on Unix with the link type in the mode bits.
  bool isSymlink() const;
  bool isEncrypted() const;
  // The raw name decoded as its flags and maker say (VLZipEntryNames).
  std::string decodedName() const;
};
