#include "Libraries/Archive/VLZipInspection.h"

#include <minizip/unzip.h>

#include <vector>

#include "Libraries/Archive/VLZipArchiveErrors.h"
#include "Libraries/Archive/VLZipEmptyArchive.h"
#include "Libraries/Archive/VLZipEntryInfo.h"
#include "Libraries/Archive/VLZipFileIO.h"
#include "Libraries/Archive/VLZipEntryReader.h"

namespace {

constexpr uLong kEncryptedFlag = 1;

// Closes the archive on every path.
class OpenArchive {
 public:
  explicit OpenArchive(const std::string& path) : zip_(VLZipFileIO::open(path)) {}
  ~OpenArchive() {
    if (zip_) unzClose(zip_);
  }
  OpenArchive(const OpenArchive&) = delete;
  OpenArchive& operator=(const OpenArchive&) = delete;
  unzFile get() const { return zip_; }

 private:
  unzFile zip_;
};

}  // namespace

bool VLZipInspection::isFilePasswordProtectedAtPath(const std::string& path) {
  OpenArchive archive(path);
  unzFile zip = archive.get();
  if (!zip) return false;
  VLZipEntryReader entry(zip);
  int ret = unzGoToFirstFile(zip);
  while (ret == UNZ_OK) {
    if (entry.open(std::nullopt) != UNZ_OK) {
      entry.close();
      int withPassword = entry.open(std::string());
      entry.close();
      return withPassword == UNZ_OK || withPassword == VLZipEntryReader::kPasswordError;
    }
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
      entry.close();
      return false;
    }
    entry.close();
    if (info.flag & kEncryptedFlag) return true;
    ret = unzGoToNextFile(zip);
  }
  return false;
}

bool VLZipInspection::isPasswordValidForArchiveAtPath(const std::string& path,
                                                      const std::optional<std::string>& password, ns::Error* error) {
  if (error) *error = ns::Error();
  OpenArchive archive(path);
  unzFile zip = archive.get();
  if (!zip) {
    // An archive without entries has no encrypted entry.
    if (VLZipEmptyArchive::isEmptyArchive(path)) return true;
    ns::setError(error, VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenZipFile, "failed to open zip file"));
    return false;
  }
  int ret = unzGoToFirstFile(zip);
  if (ret != UNZ_OK) return true;
  const bool usePassword = password && !password->empty();
  std::vector<char> buffer(4096);
  VLZipEntryReader entry(zip);
  while (ret == UNZ_OK) {
    int opened = entry.open(usePassword ? password : std::nullopt);
    if (opened != UNZ_OK) {
      entry.close();
      if (opened == VLZipEntryReader::kPasswordError) return false;
      ns::setError(error,
                   VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenFileInZip, "failed to open file in zip archive"));
      return false;
    }
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
      entry.close();
      ns::setError(error,
                   VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "failed to retrieve info for file"));
      return false;
    }
    if (info.flag & kEncryptedFlag) {
      // Traditional encryption opens with any password; only the data tells.
      int n;
      while ((n = entry.read(buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
      }
      if (n < 0) {
        entry.close();
        if (n != Z_DATA_ERROR)
          ns::setError(error, VLZipArchiveError(VLZipArchiveErrorCodeFileContentNotReadable,
                                                "failed to read contents of file entry"));
        return false;
      }
      return entry.close() == UNZ_OK;
    }
    entry.close();
    ret = unzGoToNextFile(zip);
  }
  return true;
}

uint64_t VLZipInspection::payloadSizeForArchiveAtPath(const std::string& path, ns::Error* error) {
  OpenArchive archive(path);
  unzFile zip = archive.get();
  if (!zip) {
    if (!VLZipEmptyArchive::isEmptyArchive(path))
      ns::setError(error, VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenZipFile, "failed to open zip file"));
    return 0;
  }
  uint64_t total = 0;
  int ret = unzGoToFirstFile(zip);
  while (ret == UNZ_OK) {
    // Raw: sizes need no password.
    if (unzOpenCurrentFile2(zip, nullptr, nullptr, 1) != UNZ_OK) {
      ns::setError(error,
                   VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenFileInZip, "failed to open file in zip archive"));
      return total;
    }
    VLZipEntryInfo entry;
    if (VLZipEntryInfo::readCurrent(zip, &entry) != UNZ_OK) {
      unzCloseCurrentFile(zip);
      ns::setError(error,
                   VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "failed to retrieve info for file"));
      return total;
    }
    total += entry.info.uncompressed_size;
    unzCloseCurrentFile(zip);
    ret = unzGoToNextFile(zip);
  }
  return total;
}
