#include "Libraries/Archive/VLZipEntryReader.h"

#include "Libraries/Archive/VLZipEntryInfo.h"

namespace {
constexpr uLong kDataDescriptorFlag = 8;
constexpr size_t kInputSize = 4096;
}  // namespace

VLZipEntryReader::~VLZipEntryReader() { close(); }

int VLZipEntryReader::open(const std::optional<std::string>& password) {
  close();
  VLZipEntryInfo entry;
  int ret = VLZipEntryInfo::readCurrent(zip_, &entry);
  if (ret != UNZ_OK) return ret;
  const unz_file_info64& info = entry.info;
  expectedCrc_ = info.crc;
  expectedSize_ = info.uncompressed_size;
  crc_ = crc32(0L, Z_NULL, 0);
  size_ = 0;
  finished_ = false;
  if (!entry.isEncrypted()) {
    ret = unzOpenCurrentFile(zip_);
    open_ = ret == UNZ_OK;
    encrypted_ = false;
    return ret;
  }
  if (!password) return kPasswordError;

  int level = 0;
  ret = unzOpenCurrentFile2(zip_, &method_, &level, 1);
  if (ret != UNZ_OK) return ret;
  open_ = true;
  encrypted_ = true;
  if (method_ != 0 && method_ != Z_DEFLATED) return UNZ_BADZIPFILE;

  crypto_ = std::make_unique<VLZipCrypto>(*password);
  uint8_t header[VLZipCrypto::kHeaderSize];
  if (unzReadCurrentFile(zip_, header, sizeof header) != static_cast<int>(sizeof header)) return UNZ_BADZIPFILE;
  const uint8_t check = (info.flag & kDataDescriptorFlag) ? static_cast<uint8_t>((info.dosDate >> 8) & 0xFF)
                                                           : static_cast<uint8_t>(info.crc >> 24);
  if (!crypto_->acceptHeader(header, check)) return kPasswordError;

  streamEnded_ = false;
  if (method_ == Z_DEFLATED) {
    stream_ = {};
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) return UNZ_INTERNALERROR;
    inflating_ = true;
    input_.resize(kInputSize);
  }
  return UNZ_OK;
}

int VLZipEntryReader::readDecrypted(uint8_t* buffer, unsigned size) {
  int n = unzReadCurrentFile(zip_, buffer, size);
  if (n > 0) crypto_->decrypt(buffer, static_cast<size_t>(n));
  return n;
}

int VLZipEntryReader::readEncrypted(uint8_t* out, unsigned size) {
  if (streamEnded_) return 0;
  if (method_ == 0) return readDecrypted(out, size);
  stream_.next_out = out;
  stream_.avail_out = size;
  while (stream_.avail_out == size) {
    if (stream_.avail_in == 0) {
      int n = readDecrypted(input_.data(), static_cast<unsigned>(input_.size()));
      if (n < 0) return n;
      if (n == 0) return Z_DATA_ERROR;  // the data ends before the stream does
      stream_.next_in = input_.data();
      stream_.avail_in = static_cast<uInt>(n);
    }
    int z = inflate(&stream_, Z_NO_FLUSH);
    if (z == Z_STREAM_END) {
      streamEnded_ = true;
      break;
    }
    if (z != Z_OK) return Z_DATA_ERROR;
  }
  return static_cast<int>(size - stream_.avail_out);
}

int VLZipEntryReader::read(void* buffer, unsigned size) {
  if (!open_) return UNZ_PARAMERROR;
  if (finished_ || size == 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  int n = encrypted_ ? readEncrypted(out, size) : unzReadCurrentFile(zip_, out, size);
  if (n < 0) return n;
  if (n == 0) {
    finished_ = true;
    return 0;
  }
  size_ += static_cast<uint64_t>(n);
  if (size_ > expectedSize_) return Z_DATA_ERROR;
  crc_ = crc32(crc_, out, static_cast<uInt>(n));
  return n;
}

int VLZipEntryReader::close() {
  if (!open_) return UNZ_OK;
  open_ = false;
  if (inflating_) {
    inflateEnd(&stream_);
    inflating_ = false;
  }
  int ret = unzCloseCurrentFile(zip_);
  if (ret == UNZ_OK && finished_ && (size_ != expectedSize_ || crc_ != expectedCrc_)) ret = UNZ_CRCERROR;
  crypto_.reset();
  encrypted_ = false;
  return ret;
}
