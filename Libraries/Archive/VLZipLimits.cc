#include "Libraries/Archive/VLZipLimits.h"

#include "Libraries/Archive/VLZipArchiveErrors.h"
#include "Libraries/Archive/VLZipEntryInfo.h"

bool VLZipBudget::admitsDeclaredContents(unzFile zip) const {
  uint64_t entries = 0, bytes = 0;
  bool fits = true;
  for (int ret = unzGoToFirstFile(zip); ret == UNZ_OK; ret = unzGoToNextFile(zip)) {
    VLZipEntryInfo entry;
    if (VLZipEntryInfo::readCurrent(zip, &entry) != UNZ_OK) break;
    const uint64_t size = entry.isDirectory() ? 0 : entry.info.uncompressed_size;
    if (++entries > entriesLeft || size > maxEntryBytes || size > bytesLeft - bytes) {
      fits = false;
      break;
    }
    bytes += size;
  }
  unzGoToFirstFile(zip);
  return fits;
}

ns::Error VLZipLimitError() {
  return VLZipArchiveError(VLZipArchiveErrorCodeLimitExceeded, "archive exceeds the extraction limits");
}
