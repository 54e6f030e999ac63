// How archives are read: minizip's file calls over one descriptor, with
// reads served from a block of the file kept in memory. minizip reads the
// central directory and each entry's header a few bytes at a time and seeks
// between them; through a stdio stream every seek costs a system call and
// throws its buffer away.
#pragma once

#include <minizip/unzip.h>

#include <string>

class VLZipFileIO {
 public:
  // The archive at `path` opened for reading; null when it cannot be opened
  // or is no archive minizip reads.
  static unzFile open(const std::string& path);
};
