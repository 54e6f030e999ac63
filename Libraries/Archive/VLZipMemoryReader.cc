#include "Libraries/Archive/VLZipMemoryReader.h"

#include <algorithm>

#include "Libraries/Archive/VLZipArchiveErrors.h"
#include "Libraries/Archive/VLZipEmptyArchive.h"
#include "Libraries/Archive/VLZipEntryInfo.h"
#include "Libraries/Archive/VLZipFileIO.h"
#include "Libraries/Archive/VLZipEntryNames.h"
#include "Libraries/Archive/VLZipEntryReader.h"

namespace {

constexpr size_t kChunk = 16384;

ns::Error infoError() {
  return VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "failed to retrieve info for file");
}

}  // namespace

std::unique_ptr<VLZipMemoryReader> VLZipMemoryReader::open(const std::string& path,
                                                           const VLZipExtractionLimits& limits, ns::Error* error) {
  unzFile zip = VLZipFileIO::open(path);
  if (!zip) {
    // minizip refuses an archive without entries; it holds nothing.
    if (VLZipEmptyArchive::isEmptyArchive(path))
      return std::unique_ptr<VLZipMemoryReader>(new VLZipMemoryReader(nullptr, VLZipBudget::of(limits)));
    ns::setError(error, VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenZipFile, "failed to open zip file"));
    return nullptr;
  }
  std::unique_ptr<VLZipMemoryReader> reader(new VLZipMemoryReader(zip, VLZipBudget::of(limits)));
  if (!reader->budget_.admitsDeclaredContents(zip)) {
    ns::setError(error, VLZipLimitError());
    return nullptr;
  }
  long index = -1;
  int ret = unzGoToFirstFile(zip);
  for (; ret == UNZ_OK; ret = unzGoToNextFile(zip)) {
    ++index;
    VLZipEntryInfo header;
    Entry entry;
    if (VLZipEntryInfo::readCurrent(zip, &header) != UNZ_OK || unzGetFilePos64(zip, &entry.position) != UNZ_OK) {
      ns::setError(error, infoError());
      return nullptr;
    }
    const std::string name = header.decodedName();
    if (name.rfind("__MACOSX/", 0) == 0) continue;
    entry.path = VLZipEntryNames::sanitizedPath(name);
    entry.climbsOut = VLZipEntryNames::climbsOutOfTree(name);
    if (!entry.path.empty() && entry.path.back() == '/') entry.path.pop_back();
    if (entry.path.empty()) entry.path = std::to_string(index);
    entry.components = VLZipEntryNames::components(entry.path);
    entry.isDirectory = header.isDirectory();
    entry.isSymlink = header.isSymlink();
    entry.isEncrypted = header.isEncrypted();
    entry.size = header.info.uncompressed_size;
    entry.dosDate = static_cast<uint32_t>(header.info.dosDate);
    reader->entries_.push_back(std::move(entry));
  }
  // A central directory that breaks off is no archive to trust.
  if (ret != UNZ_END_OF_LIST_OF_FILE) {
    ns::setError(error, infoError());
    return nullptr;
  }
  if (reader->entriesShareData()) {
    ns::setError(error, VLZipArchiveError(VLZipArchiveErrorCodeLimitExceeded, "entries of the archive share their data"));
    return nullptr;
  }
  return reader;
}

// Each entry's compressed data is where its local header says, for as many
// bytes as the central directory declares; no two of them may overlap. An
// entry whose header cannot be read is left to read() to refuse.
bool VLZipMemoryReader::entriesShareData() {
  struct Extent {
    uint64_t start, end;
  };
  std::vector<Extent> extents;
  extents.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    unz64_file_pos position = entry.position;
    VLZipEntryInfo header;
    if (unzGoToFilePos64(zip_, &position) != UNZ_OK || VLZipEntryInfo::readCurrent(zip_, &header) != UNZ_OK) continue;
    if (header.info.compressed_size == 0) continue;
    int method = 0, level = 0;
    if (unzOpenCurrentFile2(zip_, &method, &level, 1) != UNZ_OK) continue;  // raw: nothing is inflated
    const uint64_t start = unzGetCurrentFileZStreamPos64(zip_);
    unzCloseCurrentFile(zip_);
    extents.push_back({start, start + header.info.compressed_size});
  }
  std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) { return a.start < b.start; });
  for (size_t i = 1; i < extents.size(); ++i)
    if (extents[i].start < extents[i - 1].end) return true;
  return false;
}

VLZipMemoryReader::~VLZipMemoryReader() {
  if (zip_) unzClose(zip_);
}

std::optional<ns::Data> VLZipMemoryReader::read(const Entry& entry, ns::Error* error) {
  if (entry.isDirectory) return ns::Data();
  if (entry.size > budget_.bytesLeft || entry.size > budget_.maxEntryBytes) {
    ns::setError(error, VLZipLimitError());
    return std::nullopt;
  }
  unz64_file_pos position = entry.position;
  VLZipEntryReader reader(zip_);
  if (unzGoToFilePos64(zip_, &position) != UNZ_OK || reader.open(std::nullopt) != UNZ_OK) {
    ns::setError(error,
                 VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenFileInZip, "failed to open file in zip file"));
    return std::nullopt;
  }
  // Grown as data arrives, so a header that overstates costs nothing; the
  // reader never goes past the declared size.
  ns::Data data;
  data.reserve(static_cast<size_t>(std::min<uint64_t>(entry.size, kChunk)));
  uint8_t chunk[kChunk];
  int n;
  while ((n = reader.read(chunk, sizeof chunk)) > 0) data.insert(data.end(), chunk, chunk + n);
  if (n < 0) {
    ns::setError(error, VLZipArchiveError(VLZipArchiveErrorCodeFileContentNotReadable,
                                          "failed to read contents of file entry"));
    return std::nullopt;
  }
  if (reader.close() != UNZ_OK) {
    ns::setError(error, VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "crc check failed for file"));
    return std::nullopt;
  }
  budget_.bytesLeft -= entry.size;
  return data;
}
