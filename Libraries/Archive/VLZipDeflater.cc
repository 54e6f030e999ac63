#include "Libraries/Archive/VLZipDeflater.h"

VLZipDeflater::~VLZipDeflater() {
  if (initialized_) deflateEnd(&stream_);
}

const std::vector<uint8_t>* VLZipDeflater::deflate(const void* bytes, size_t size, int level) {
  if (initialized_ && level != level_) {
    deflateEnd(&stream_);
    initialized_ = false;
  }
  if (!initialized_) {
    stream_ = {};
    if (deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return nullptr;
    initialized_ = true;
    level_ = level;
  } else if (deflateReset(&stream_) != Z_OK) {
    return nullptr;
  }
  // zlib's bound holds for any input, so one call finishes the stream.
  output_.resize(deflateBound(&stream_, static_cast<uLong>(size)));
  stream_.next_in = static_cast<Bytef*>(const_cast<void*>(bytes));
  stream_.avail_in = static_cast<uInt>(size);
  stream_.next_out = output_.data();
  stream_.avail_out = static_cast<uInt>(output_.size());
  int z = ::deflate(&stream_, Z_FINISH);
  if (z != Z_STREAM_END) return nullptr;
  output_.resize(stream_.total_out);
  return &output_;
}
