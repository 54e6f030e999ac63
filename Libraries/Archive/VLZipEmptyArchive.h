// Recognises an archive without entries (only its end record), which the
// system's minizip refuses to open although such archives are valid and are
// what zipping an empty directory writes.
#pragma once

#include <cstdint>
#include <string>

class VLZipEmptyArchive {
 public:
  // Whether the file at `path` is a valid archive with no entries;
  // *commentLength receives the length of its comment.
  static bool isEmptyArchive(const std::string& path, uint64_t* commentLength = nullptr);
};
