#include "Libraries/EventTransport/ZTCCTCompressionHelper.h"

#include <zlib.h>

#include <cstdint>

std::optional<ns::Data> ZTCCTCompressionHelper::gzippedData(const ns::Data& data) {
  if (data.empty() || data.size() > UINT32_MAX) return std::nullopt;
  z_stream stream{};
  // Window bits 31: a 32 KiB window inside a gzip wrapper.
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::nullopt;
  ns::Data output;
  output.reserve(data.size() / 4);
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  uint8_t buffer[1024];
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = buffer;
    stream.avail_out = sizeof buffer;
    status = deflate(&stream, Z_FINISH);
    if (status != Z_OK && status != Z_STREAM_END) break;
    output.insert(output.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
  }
  deflateEnd(&stream);
  if (status != Z_STREAM_END) return std::nullopt;
  return output;
}

bool ZTCCTCompressionHelper::isGzipped(const ns::Data& data) {
  return data.size() >= 2 && data[0] == 0x1F && data[1] == 0x8B;
}
