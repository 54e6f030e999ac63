// The upload body's gzip form (zlib, gzip wrapper, default level).
#pragma once

#include <optional>

#include "Platform/Foundation/Value.h"

class ZTCCTCompressionHelper {
 public:
  // None for empty data, data longer than 4,294,967,295 bytes, or any zlib
  // failure: the caller then sends the plain form.
  static std::optional<ns::Data> gzippedData(const ns::Data& data);
  // At least two bytes, starting 0x1F 0x8B.
  static bool isGzipped(const ns::Data& data);
};
