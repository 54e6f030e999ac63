#include "Libraries/Archive/VLZipEntryInfo.h"

#include <vector>

#include "Libraries/Archive/VLZipEntryNames.h"

namespace {

constexpr uint64_t kSaturated = 0xFFFFFFFFu;
constexpr uint16_t kZip64ExtraId = 0x0001;

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint64_t le64(const unsigned char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// The zip64 field holds, in this order, only the values whose 32-bit
// fields are saturated: uncompressed size, compressed size, offset.
void applyZip64(const std::vector<unsigned char>& extra, unz_file_info64* info) {
  size_t at = 0;
  while (at + 4 <= extra.size()) {
    const uint16_t id = le16(&extra[at]);
    const size_t length = le16(&extra[at + 2]);
    const size_t start = at + 4;
    if (start + length > extra.size()) return;
    if (id == kZip64ExtraId) {
      size_t field = start;
      auto next = [&](uint64_t* value) {
        if (*value != kSaturated) return;
        if (field + 8 > start + length) return;
        *value = le64(&extra[field]);
        field += 8;
      };
      uint64_t uncompressed = info->uncompressed_size, compressed = info->compressed_size;
      next(&uncompressed);
      next(&compressed);
      info->uncompressed_size = uncompressed;
      info->compressed_size = compressed;
      return;
    }
    at = start + length;
  }
}

}  // namespace

int VLZipEntryInfo::readCurrent(unzFile zip, VLZipEntryInfo* out) {
  unz_file_info64 info{};
  int ret = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
  if (ret != UNZ_OK) return ret;
  std::vector<char> name(info.size_filename + 1, '\0');
  std::vector<unsigned char> extra(info.size_file_extra);
  ret = unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()),
                                extra.empty() ? nullptr : extra.data(), static_cast<uLong>(extra.size()), nullptr, 0);
  if (ret != UNZ_OK) return ret;
  if (info.uncompressed_size == kSaturated || info.compressed_size == kSaturated) applyZip64(extra, &info);
  out->info = info;
  out->rawName.assign(name.data(), info.size_filename);
  return UNZ_OK;
}

bool VLZipEntryInfo::isDirectory() const {
  return !rawName.empty() && (rawName.back() == '/' || rawName.back() == '\\');
}

bool VLZipEntryInfo::isSymlink() const {
  return (info.version >> 8) == 3 && ((info.external_fa >> 16) & 0xF000) == 0xA000;
}

bool VLZipEntryInfo::isEncrypted() const { return info.flag & 1; }

std::string VLZipEntryInfo::decodedName() const {
  return VLZipEntryNames::decode(rawName.data(), rawName.size(), static_cast<uint16_t>(info.version),
                                 static_cast<uint16_t>(info.flag));
}
