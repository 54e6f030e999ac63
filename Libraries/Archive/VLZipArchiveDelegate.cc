#include "Libraries/Archive/VLZipArchiveDelegate.h"

namespace {
// Set by the default body of the file-information form: the delegate does
// not implement it. Per thread, since extractions may run on several.
thread_local bool defaultDidUnzipRan = false;
}  // namespace

void VLZipArchiveDelegate::zipArchiveWillUnzipArchiveAtPath(const std::string&, const unz_global_info64&) {}
void VLZipArchiveDelegate::zipArchiveProgressEvent(uint64_t, uint64_t) {}
bool VLZipArchiveDelegate::zipArchiveShouldUnzipFileAtIndex(long, long, const std::string&, const unz_file_info64&) {
  return true;
}
void VLZipArchiveDelegate::zipArchiveWillUnzipFileAtIndex(long, long, const std::string&, const unz_file_info64&) {}
void VLZipArchiveDelegate::zipArchiveDidUnzipFileAtIndex(long, long, const std::string&, const unz_file_info64&) {
  defaultDidUnzipRan = true;
}
void VLZipArchiveDelegate::zipArchiveDidUnzipFileAtIndexUnzippedFilePath(long, long, const std::string&,
                                                                         const std::string&) {}
void VLZipArchiveDelegate::zipArchiveDidUnzipArchiveAtPath(const std::string&, const unz_global_info64&,
                                                           const std::string&) {}

void VLZipArchiveDelegate::didUnzipFile(long fileIndex, long totalFiles, const std::string& archivePath,
                                        const unz_file_info64& fileInfo, const std::string& unzippedFilePath) {
  defaultDidUnzipRan = false;
  zipArchiveDidUnzipFileAtIndex(fileIndex, totalFiles, archivePath, fileInfo);
  if (defaultDidUnzipRan) {
    defaultDidUnzipRan = false;
    zipArchiveDidUnzipFileAtIndexUnzippedFilePath(fileIndex, totalFiles, archivePath, unzippedFilePath);
  }
}
