#include "Libraries/Archive/VLZipEmptyArchive.h"

#include <fstream>
#include <vector>

namespace {
constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxComment = 0xFFFF;

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const unsigned char* p) { return le16(p) | (static_cast<uint32_t>(le16(p + 2)) << 16); }
}  // namespace

bool VLZipEmptyArchive::isEmptyArchive(const std::string& path, uint64_t* commentLength) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const auto size = static_cast<size_t>(in.tellg());
  // Nothing but the end record and its comment: no entry can precede it.
  if (size < kEndRecordSize || size > kEndRecordSize + kMaxComment) return false;
  std::vector<unsigned char> bytes(size);
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) return false;
  const unsigned char* r = bytes.data();
  if (le32(r) != 0x06054b50) return false;
  const bool noEntries = le16(r + 4) == 0 && le16(r + 6) == 0 && le16(r + 8) == 0 && le16(r + 10) == 0 &&
                         le32(r + 12) == 0 && le32(r + 16) == 0;
  if (!noEntries || kEndRecordSize + le16(r + 20) != size) return false;
  if (commentLength) *commentLength = le16(r + 20);
  return true;
}
