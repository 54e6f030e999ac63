// Questions about an archive that need no extraction: whether it is
// encrypted, whether a password opens it, and how much it holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"

class VLZipInspection {
 public:
  // Whether any entry is encrypted; false when the archive cannot be read.
  static bool isFilePasswordProtectedAtPath(const std::string& path);
  // Whether `password` decrypts the first encrypted entry (true when none is).
  // The entry is read whole and its checksum checked, so a wrong password is
  // never taken for a right one. A wrong password answers false without an
  // error; *error is cleared first.
  static bool isPasswordValidForArchiveAtPath(const std::string& path, const std::optional<std::string>& password,
                                              ns::Error* error);
  // The sum of the entries' uncompressed sizes (the sum so far on failure).
  static uint64_t payloadSizeForArchiveAtPath(const std::string& path, ns::Error* error);
};
