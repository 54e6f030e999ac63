// What an extraction tells its delegate. Every operation is optional: the
// default bodies do nothing (and the should-callback lets every entry
// through). A delegate that does not override the file-information form of
// "did unzip file" gets the unzipped-path form instead.
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <string>

class VLZipArchiveDelegate {
 public:
  virtual ~VLZipArchiveDelegate() = default;

  virtual void zipArchiveWillUnzipArchiveAtPath(const std::string& path, const unz_global_info64& zipInfo);
  // Bytes of compressed data reached so far, of the archive file's size.
  virtual void zipArchiveProgressEvent(uint64_t loaded, uint64_t total);
  // false cancels the extraction.
  virtual bool zipArchiveShouldUnzipFileAtIndex(long fileIndex, long totalFiles, const std::string& archivePath,
                                                const unz_file_info64& fileInfo);
  virtual void zipArchiveWillUnzipFileAtIndex(long fileIndex, long totalFiles, const std::string& archivePath,
                                              const unz_file_info64& fileInfo);
  virtual void zipArchiveDidUnzipFileAtIndex(long fileIndex, long totalFiles, const std::string& archivePath,
                                             const unz_file_info64& fileInfo);
  // Called only when the form above is not overridden.
  virtual void zipArchiveDidUnzipFileAtIndexUnzippedFilePath(long fileIndex, long totalFiles,
                                                             const std::string& archivePath,
                                                             const std::string& unzippedFilePath);
  virtual void zipArchiveDidUnzipArchiveAtPath(const std::string& path, const unz_global_info64& zipInfo,
                                               const std::string& unzippedPath);

  // Calls the file-information form, or the unzipped-path form when this
  // delegate leaves the first to its default.
  void didUnzipFile(long fileIndex, long totalFiles, const std::string& archivePath,
                    const unz_file_info64& fileInfo, const std::string& unzippedFilePath);
};
