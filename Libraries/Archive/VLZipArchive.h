// Zip archives: extraction of a whole archive into a directory (class
// operations), inspection, and creation, either entry by entry on an
// instance bound to one archive path or in one call for a list of files or
// the contents of a directory.
//
// Extraction treats every archive as untrusted (see VLZipExtraction.h).
// Entries are written with traditional zip encryption when a password is
// given; the AES flag is accepted and also gives traditional encryption.
// Time stamps are MS-DOS dates in the device's time zone.
#pragma once

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Archive/VLZipArchiveDelegate.h"
#include "Libraries/Archive/VLZipArchiveErrors.h"
#include "Libraries/Archive/VLZipDeflater.h"
#include "Libraries/Archive/VLZipExtraction.h"
#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

class VLZipArchive {
 public:
  using Password = std::optional<std::string>;  // absent or empty: none
  using ProgressHandler = VLZipExtraction::ProgressHandler;
  using CompletionHandler = VLZipExtraction::CompletionHandler;
  // (entries handled so far, counting from 1; total)
  using CreationProgressHandler = std::function<void(unsigned long entryNumber, unsigned long total)>;

  // ---- Extraction. Every form answers success and forwards to the last
  // one; attributes are preserved and nested archives stay archives unless
  // a form says otherwise. *error receives the error, or an empty error
  // (no domain) when there is none.
  static bool unzipFileAtPath(const std::string& path, const std::string& destination);
  static bool unzipFileAtPath(const std::string& path, const std::string& destination,
                              VLZipArchiveDelegate* delegate);
  static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                              const Password& password, ns::Error* error);
  static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                              const Password& password, ns::Error* error, VLZipArchiveDelegate* delegate);
  static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                              const Password& password, const ProgressHandler& progressHandler,
                              const CompletionHandler& completionHandler);
  static bool unzipFileAtPath(const std::string& path, const std::string& destination,
                              const ProgressHandler& progressHandler, const CompletionHandler& completionHandler);
  static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                              bool overwrite, const Password& password, ns::Error* error,
                              VLZipArchiveDelegate* delegate);
  static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                              bool overwrite, const Password& password, ns::Error* error,
                              VLZipArchiveDelegate* delegate, const ProgressHandler& progressHandler,
                              const CompletionHandler& completionHandler);
  // The full operation. A non-zero nestedZipLevel unpacks written ".zip"
  // files beside themselves (that many levels deep) and deletes them.
  static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                              bool overwrite, long nestedZipLevel, const Password& password, ns::Error* error,
                              VLZipArchiveDelegate* delegate, const ProgressHandler& progressHandler,
                              const CompletionHandler& completionHandler);

  // What one extraction may write at most (process-wide).
  static VLZipExtractionLimits extractionLimits() { return VLZipExtraction::limits(); }
  static void setExtractionLimits(const VLZipExtractionLimits& limits) { VLZipExtraction::setLimits(limits); }

  // ---- Inspection.
  static bool isFilePasswordProtectedAtPath(const std::string& path);
  static bool isPasswordValidForArchiveAtPath(const std::string& path, const Password& password, ns::Error* error);
  static uint64_t payloadSizeForArchiveAtPath(const std::string& path, ns::Error* error);

  // ---- Names and dates.
  static std::string filenameStringWithCString(const char* bytes, uint16_t versionMadeBy,
                                               uint16_t generalPurposeFlag, size_t size);
  static ns::Date dateWithMSDOSFormat(uint32_t dosDate);
  static const ns::Calendar& gregorian();
  static std::string sanitizedPath(const std::string& path);
  static std::string hexString(const ns::Data& data);
  static std::string base64RFC4648(const ns::Data& data);

  // ---- Creation in one call. The result is the AND of every write and of
  // the close; an item that cannot be read is left out and makes it false.
  static bool createZipFileAtPath(const std::string& path, const std::vector<std::string>& filesAtPaths);
  static bool createZipFileAtPath(const std::string& path, const std::vector<std::string>& filesAtPaths,
                                  const Password& password);
  static bool createZipFileAtPath(const std::string& path, const std::vector<std::string>& filesAtPaths,
                                  const Password& password, const CreationProgressHandler& progressHandler);
  // keepSymlinks: links are stored as links rather than followed.
  static bool createZipFileAtPath(const std::string& path, const std::vector<std::string>& filesAtPaths,
                                  const Password& password, bool keepSymlinks);

  // The contents of a directory, at all depths; empty directories become
  // folder entries. keepParentDirectory prefixes every name with the
  // directory's own name. The archive itself is never added to itself.
  static bool createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory);
  static bool createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                  const Password& password);
  static bool createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                  const char* password) {
    return createZipFileAtPath(path, contentsOfDirectory, password ? Password(password) : Password());
  }
  static bool createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                  bool keepParentDirectory);
  static bool createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                  bool keepParentDirectory, const Password& password);
  static bool createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                  bool keepParentDirectory, const Password& password,
                                  const CreationProgressHandler& progressHandler);
  static bool createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                  bool keepParentDirectory, int compressionLevel, const Password& password, bool aes,
                                  const CreationProgressHandler& progressHandler);
  static bool createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                  bool keepParentDirectory, int compressionLevel, const Password& password, bool aes,
                                  const CreationProgressHandler& progressHandler, bool keepSymlinks);

  // ---- Creation entry by entry.
  explicit VLZipArchive(std::string path);
  ~VLZipArchive();  // closes an archive left open
  VLZipArchive(const VLZipArchive&) = delete;
  VLZipArchive& operator=(const VLZipArchive&) = delete;

  // A new archive at the path / an existing one to add entries to.
  bool open();
  bool openForAppending();

  // Compression level as zlib's: -1 default, 0 stored. Each write answers
  // whether the entry was opened, written and closed without error.
  bool writeFile(const std::string& path, const Password& password);  // name = last path component
  bool writeFileAtPath(const std::string& path, const std::optional<std::string>& fileName,
                       const Password& password);
  bool writeFileAtPath(const std::string& path, const std::optional<std::string>& fileName, int compressionLevel,
                       const Password& password, bool aes);
  // An entry "<folderName>/" with no data.
  bool writeFolderAtPath(const std::string& path, const std::string& folderName, const Password& password);
  // The link's target as the entry's data, marked as a Unix link.
  bool writeSymlinkFileAtPath(const std::string& path, const std::optional<std::string>& fileName,
                              int compressionLevel, const Password& password, bool aes);
  // An entry dated now.
  bool writeData(const ns::Data& data, const std::string& filename, int compressionLevel, const Password& password,
                 bool aes);
  bool writeData(const ns::Data& data, const std::string& filename, const Password& password);

  // Entries made in memory as writeFileAtPath / writeFolderAtPath record a
  // file or folder on disk: dated `date`, with `posixPermissions` as a
  // regular file's mode. Without a password; one compressor serves them all.
  struct EntryAttributes {
    ns::Date date;
    uint32_t posixPermissions = 0644;
  };
  bool writeData(const ns::Data& data, const std::string& filename, const EntryAttributes& attributes,
                 int compressionLevel = -1);
  bool writeFolder(const std::string& folderName, const EntryAttributes& attributes);
  bool close();

  // Entry attributes of an item: its modification date and its permissions
  // as a regular file's mode in the high 16 bits.
  static void zipInfoSetAttributesOfItemAtPath(zip_fileinfo* info, const std::string& path);
  static void zipInfoSetDate(zip_fileinfo* info, ns::Date date);

 private:
  zip_fileinfo infoFor(const EntryAttributes& attributes);

  std::string path_;
  zipFile zip_ = nullptr;
  VLZipDeflater deflater_;
  // The last date converted for an entry, whole seconds, and its fields.
  std::optional<int64_t> lastSecond_;
  tm_zip lastDate_{};
};
