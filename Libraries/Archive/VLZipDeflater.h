// Deflates whole buffers one after another through one zlib stream, reset
// between buffers: an archive of thousands of small entries otherwise pays
// for a fresh compressor (some 256 KB, allocated and released) per entry.
// The output is the same raw deflate stream a fresh compressor gives.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

class VLZipDeflater {
 public:
  VLZipDeflater() = default;
  ~VLZipDeflater();
  VLZipDeflater(const VLZipDeflater&) = delete;
  VLZipDeflater& operator=(const VLZipDeflater&) = delete;

  // Buffers it takes at most; larger ones are streamed in pieces instead.
  static constexpr size_t kMaximumSize = size_t{1} << 28;

  // The raw deflate stream of `size` (at most kMaximumSize) bytes at zlib's
  // `level` (-1 default); null when zlib fails. Valid until the next call.
  const std::vector<uint8_t>* deflate(const void* bytes, size_t size, int level);

 private:
  z_stream stream_{};
  bool initialized_ = false;
  int level_ = 0;
  std::vector<uint8_t> output_;
};
