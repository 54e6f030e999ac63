// Entry names of zip archives: decoding the raw name bytes, and turning a
// name into a relative path that cannot leave the extraction's destination.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Value.h"

class VLZipEntryNames {
 public:
  // Text of a raw name: code page 437 for a DOS-made entry without the UTF-8
  // flag (bit 11), else UTF-8, else the encoding guessed from the bytes, else
  // the bytes in hexadecimal.
  static std::string decode(const char* bytes, size_t size, uint16_t versionMadeBy, uint16_t generalPurposeFlag);

  // Backslashes become "/", "." segments go, ".." segments remove the
  // segment before them but never climb above the start, and leading
  // slashes and empty segments are dropped. A trailing "/" stays. "" when
  // nothing is left. Text after a NUL character is ignored.
  static std::string sanitizedPath(std::string_view name);
  // Whether the name, read as a path, starts at the root or has a ".." that
  // climbs above its start: what sanitizedPath quietly mends.
  static bool climbsOutOfTree(std::string_view name);

  // The "/"-separated segments of a sanitized path.
  static std::vector<std::string> components(std::string_view sanitized);

  // Two upper-case hexadecimal digits per byte.
  static std::string hexString(const ns::Data& data);
  // Base64 with "-" and "_" in place of "+" and "/", padding kept.
  static std::string base64RFC4648(const ns::Data& data);
};
