#include "Libraries/Archive/VLZipEntryWriter.h"

namespace {
constexpr unsigned long kEncryptedFlag = 1;
constexpr size_t kOutputSize = 16384;
}  // namespace

VLZipEntryWriter::~VLZipEntryWriter() {
  if (open_) close();
}

bool VLZipEntryWriter::open(const std::string& name, const zip_fileinfo& info, const Options& options) {
  if (!zip_ || open_) return false;
  failed_ = false;
  if (!options.password) {
    open_ = zipOpenNewFileInZip4_64(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                    options.compressionLevel, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                    options.versionMadeBy, options.flagBase, options.zip64) == ZIP_OK;
    return open_;
  }
  // Raw: minizip writes the headers, the deflated and encrypted bytes are ours.
  open_ = zipOpenNewFileInZip4_64(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  options.compressionLevel, 1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                  options.versionMadeBy, options.flagBase | kEncryptedFlag, options.zip64) == ZIP_OK;
  if (!open_) return false;
  crypto_ = std::make_unique<VLZipCrypto>(*options.password);
  expectedCrc_ = options.crc;
  crc_ = crc32(0L, Z_NULL, 0);
  size_ = 0;
  stream_ = {};
  if (deflateInit2(&stream_, options.compressionLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    failed_ = true;
    return true;  // opened; close() reports the failure
  }
  deflating_ = true;
  output_.resize(kOutputSize);
  auto header = crypto_->header(static_cast<uint8_t>(expectedCrc_ >> 24));
  if (zipWriteInFileInZip(zip_, header.data(), static_cast<unsigned>(header.size())) < 0) failed_ = true;
  return true;
}

bool VLZipEntryWriter::emit(bool finish) {
  for (;;) {
    stream_.next_out = output_.data();
    stream_.avail_out = static_cast<uInt>(output_.size());
    int z = deflate(&stream_, finish ? Z_FINISH : Z_NO_FLUSH);
    if (z == Z_STREAM_ERROR) return false;
    size_t produced = output_.size() - stream_.avail_out;
    if (produced > 0) {
      crypto_->encrypt(output_.data(), produced);
      if (zipWriteInFileInZip(zip_, output_.data(), static_cast<unsigned>(produced)) < 0) return false;
    }
    if (finish ? z == Z_STREAM_END : (stream_.avail_in == 0 && stream_.avail_out != 0)) return true;
  }
}

bool VLZipEntryWriter::write(const void* bytes, size_t size) {
  if (!open_) return false;
  if (!crypto_) {
    if (zipWriteInFileInZip(zip_, bytes, static_cast<unsigned>(size)) < 0) failed_ = true;
    return !failed_;
  }
  if (!deflating_ || failed_) return false;
  crc_ = crc32(crc_, static_cast<const Bytef*>(bytes), static_cast<uInt>(size));
  size_ += size;
  stream_.next_in = static_cast<Bytef*>(const_cast<void*>(bytes));
  stream_.avail_in = static_cast<uInt>(size);
  if (!emit(false)) failed_ = true;
  return !failed_;
}

bool VLZipEntryWriter::close() {
  if (!open_) return false;
  open_ = false;
  if (!crypto_) return zipCloseFileInZip(zip_) == ZIP_OK && !failed_;

  if (deflating_) {
    stream_.next_in = nullptr;
    stream_.avail_in = 0;
    if (!failed_ && !emit(true)) failed_ = true;
    deflateEnd(&stream_);
    deflating_ = false;
  }
  if (crc_ != expectedCrc_) failed_ = true;
  bool closed = zipCloseFileInZipRaw64(zip_, size_, crc_) == ZIP_OK;
  crypto_.reset();
  return closed && !failed_;
}
