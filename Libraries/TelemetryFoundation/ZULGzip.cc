#include "Libraries/TelemetryFoundation/ZULGzip.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace ZULGzip {
namespace {

// Compressed output grows in chunks of this size, appended to one buffer
// sized up front.
constexpr size_t kChunkSize = 1024;
// Inflated output comes in chunks sized to the input instead: the first one
// is the guessed length, each later one as long as all the output so far.
// zlib copies every chunk's worth into its window and restarts its fast
// loop per call, so small chunks cost a fifth of the time; the error codes
// do not depend on the chunk size (a truncated stream still ends in "no
// progress possible").
constexpr size_t kMinimumInflateChunk = 4096;
constexpr size_t kMaxInputLength = std::numeric_limits<uint32_t>::max();
constexpr int kGzipWindowBits = 15 + 16;          // 32 KiB window, gzip header and trailer
constexpr int kAutoDetectWindowBits = 15 + 32;    // 32 KiB window, gzip or zlib header

ns::Error zlibError(int code, const char* message) {
  ns::Dictionary userInfo{{kZULNSDataZlibErrorKey, ns::Value(code)}};
  if (message) userInfo.set(ns::kLocalizedDescriptionKey, ns::Value(message));
  return ns::Error(kZULNSDataZlibErrorDomain, ZULNSDataZlibErrorInternal, std::move(userInfo));
}

// The up-front size is a guess (a quarter of the input when compressing,
// four times when inflating); it is bounded so that a large input cannot
// ask for gigabytes before a single byte is produced.
constexpr size_t kMaxReservation = size_t{256} << 20;

ns::Data outputBuffer(size_t expectedLength) {
  ns::Data out;
  out.reserve(std::min(expectedLength, kMaxReservation));
  return out;
}

// Appends room for one chunk of `size` bytes to `out` and points zlib at it.
void nextChunk(z_stream& stream, ns::Data& out, size_t size = kChunkSize) {
  size_t used = out.size();
  out.resize(used + size);
  stream.next_out = out.data() + used;
  stream.avail_out = static_cast<uInt>(size);
}

size_t inflateChunk(const ns::Data& out, size_t expectedLength) {
  size_t size = out.empty() ? std::min(expectedLength, kMaxReservation) : std::min(out.size(), kMaxReservation);
  return std::clamp<size_t>(size, kMinimumInflateChunk, std::numeric_limits<uInt>::max());
}

// Drops what zlib left unused of the last chunk.
void endChunk(const z_stream& stream, ns::Data& out) { out.resize(out.size() - stream.avail_out); }

}  // namespace

std::optional<ns::Data> zul_dataByGzippingData(std::span<const uint8_t> data, ns::Error* error) {
  if (data.empty()) return std::nullopt;
  if (data.size() > kMaxInputLength) {
    ns::setError(error, ns::Error(kZULNSDataZlibErrorDomain, ZULNSDataZlibErrorGreaterThan32BitsToCompress));
    return std::nullopt;
  }
  z_stream stream{};
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  int status = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY);
  if (status != Z_OK) {
    ns::setError(error, zlibError(status, nullptr));
    return std::nullopt;
  }
  ns::Data out = outputBuffer(data.size() / 4);
  do {
    nextChunk(stream, out);
    status = deflate(&stream, Z_FINISH);
    endChunk(stream, out);
    if (status != Z_OK && status != Z_STREAM_END) {
      deflateEnd(&stream);
      ns::setError(error, zlibError(status, nullptr));
      return std::nullopt;
    }
  } while (status != Z_STREAM_END);
  deflateEnd(&stream);
  return out;
}

std::optional<ns::Data> zul_dataByInflatingGzippedData(std::span<const uint8_t> data, ns::Error* error) {
  if (data.empty() || data.size() > kMaxInputLength) return std::nullopt;
  z_stream stream{};
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  int status = inflateInit2(&stream, kAutoDetectWindowBits);
  if (status != Z_OK) {
    ns::setError(error, zlibError(status, stream.msg));
    return std::nullopt;
  }
  ns::Data out;
  const size_t expectedLength = data.size() * 4;
  do {
    nextChunk(stream, out, inflateChunk(out, expectedLength));
    status = inflate(&stream, Z_NO_FLUSH);
    endChunk(stream, out);
    if (status != Z_OK && status != Z_STREAM_END) {
      ns::Error failure = zlibError(status, stream.msg);
      inflateEnd(&stream);
      ns::setError(error, std::move(failure));
      return std::nullopt;
    }
  } while (status != Z_STREAM_END);
  size_t remaining = stream.avail_in;
  inflateEnd(&stream);
  if (remaining > 0) {
    ns::setError(error, ns::Error(kZULNSDataZlibErrorDomain, ZULNSDataZlibErrorDataRemaining,
                                  ns::Dictionary{{kZULNSDataZlibRemainingBytesKey,
                                                  ns::Value(static_cast<unsigned long long>(remaining))}}));
    return std::nullopt;
  }
  return out;
}

}  // namespace ZULGzip
