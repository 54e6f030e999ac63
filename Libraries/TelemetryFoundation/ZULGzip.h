// Gzip compression and inflation of byte buffers through zlib (the category
// ZULGzip of the platform's data buffers).
//
// Errors have the domain "com.zorori.ZULNSDataZlibErrorDomain":
//   1024  the input is longer than 4,294,967,295 bytes (compressing)
//   1025  zlib failed: "ZULNSDataZlibErrorKey" holds its return code and,
//         when zlib said why, the localized description its message
//         (a truncated stream is one of these)
//   1026  bytes follow the end of the compressed stream:
//         "ZULNSDataZlibRemainingBytesKey" holds how many
// Empty input gives nothing and no error. The error out-parameter may be
// null; it is set only on the failures above.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

inline constexpr const char* kZULNSDataZlibErrorDomain = "com.zorori.ZULNSDataZlibErrorDomain";
inline constexpr const char* kZULNSDataZlibErrorKey = "ZULNSDataZlibErrorKey";
inline constexpr const char* kZULNSDataZlibRemainingBytesKey = "ZULNSDataZlibRemainingBytesKey";

enum ZULNSDataZlibError : int64_t {
  ZULNSDataZlibErrorGreaterThan32BitsToCompress = 1024,
  ZULNSDataZlibErrorInternal = 1025,
  ZULNSDataZlibErrorDataRemaining = 1026,
};

namespace ZULGzip {

// The gzip format, default level, 32 KiB window.
std::optional<ns::Data> zul_dataByGzippingData(std::span<const uint8_t> data, ns::Error* error);
// Gzip or zlib format, told by the header.
std::optional<ns::Data> zul_dataByInflatingGzippedData(std::span<const uint8_t> data, ns::Error* error);

}  // namespace ZULGzip
