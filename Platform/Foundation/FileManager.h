// The process-wide file manager: the device's well-known directories and
// every file-system operation the system makes (create, remove, move, copy,
// list, attributes, atomic and exclusive writes, links, extended
// attributes). Failures return false/absent and fill an ns::Error of the
// platform's Cocoa domain with its file error codes (below), the POSIX error
// under kUnderlyingErrorKey and the path under kFilePathErrorKey.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

namespace ns {

// File error codes of the Cocoa domain. PropertyList.h holds the read and
// write codes it shares (256, 257, 260, 512, 513, 640); the rest are here.
inline constexpr int64_t kFileNoSuchFileError = 4;
inline constexpr int64_t kFileLockingError = 255;
inline constexpr int64_t kFileReadInvalidFileNameError = 258;
inline constexpr int64_t kFileReadCorruptFileError = 259;
inline constexpr int64_t kFileWriteInvalidFileNameError = 514;
inline constexpr int64_t kFileWriteFileExistsError = 516;
inline constexpr int64_t kFileWriteVolumeReadOnlyError = 642;
inline constexpr int64_t kUbiquitousFileUnavailableError = 4353;

// The platform's downloading status of an iCloud item.
inline constexpr const char* kUbiquitousItemDownloadingStatusCurrent = "NSURLUbiquitousItemDownloadingStatusCurrent";

// The platform's file protection classes (kept as an extended attribute;
// nothing is encrypted here).
inline constexpr const char* kFileProtectionNone = "NSFileProtectionNone";
inline constexpr const char* kFileProtectionComplete = "NSFileProtectionComplete";
inline constexpr const char* kFileProtectionCompleteUnlessOpen = "NSFileProtectionCompleteUnlessOpen";
inline constexpr const char* kFileProtectionCompleteUntilFirstUserAuthentication =
    "NSFileProtectionCompleteUntilFirstUserAuthentication";

enum class FileType { Regular, Directory, SymbolicLink, Socket, CharacterSpecial, BlockSpecial, Fifo, Unknown };

struct FileAttributes {
  uint64_t size = 0;
  FileType type = FileType::Unknown;
  uint32_t posixPermissions = 0;  // the low 12 mode bits
  Date modificationDate;
  // Set through setAttributes (an extended attribute), else the birth time
  // when the file system keeps one, else the modification date.
  Date creationDate;
  uint64_t systemFileNumber = 0;  // inode
  uint32_t ownerAccountID = 0;
  uint64_t referenceCount = 0;
  std::optional<std::string> protection;  // absent when never set
};

// What setAttributes changes; absent fields are left alone.
struct FileAttributeChanges {
  std::optional<uint32_t> posixPermissions = std::nullopt;
  std::optional<Date> modificationDate = std::nullopt;
  std::optional<Date> creationDate = std::nullopt;
  std::optional<std::string> protection = std::nullopt;
};

struct WriteOptions {
  bool atomic = false;              // temp file + fsync + rename: readers see old or new, never half
  bool withoutOverwriting = false;  // fail with kFileWriteFileExistsError when the file exists
  // With atomic: fsync before the rename, so the new content also survives a
  // power loss. Without it the swap is still atomic for every reader and
  // survives the process ending, at a fraction of the cost.
  bool durable = true;
  // Readable and writable by the owner only (0600), also when the file was
  // there with a wider mode; else an existing file keeps its mode and a new
  // one gets 0666 less the umask.
  bool ownerOnly = false;
};

struct DirectoryListingOptions {
  bool skipsHiddenFiles = false;  // names starting with "."
};

class FileManager {
 public:
  static FileManager& defaultManager();

  // The current device's sandbox directories (see ns::Device).
  URL documentsDirectory() const;
  URL libraryDirectory() const;
  URL preferencesDirectory() const;
  URL cachesDirectory() const;
  URL applicationSupportDirectory() const;
  URL temporaryDirectory() const;
  // The app-group container; created on first request.
  std::optional<URL> containerURLForSecurityApplicationGroupIdentifier(const std::string& groupIdentifier) const;
  // The iCloud container; absent unless an iCloud account is signed in. An
  // empty identifier means "iCloud.<main bundle identifier>".
  std::optional<URL> ubiquityContainerURL(const std::string& containerIdentifier = {}) const;
  // Moves an item into (true) or out of (false) the iCloud container:
  // fails with kUbiquitousFileUnavailableError when no account is signed in.
  bool setUbiquitous(bool ubiquitous, const URL& item, const URL& destination, Error* error = nullptr);
  // Items of the iCloud container are always downloaded here: succeeds for
  // an existing item.
  bool startDownloadingUbiquitousItem(const URL& item, Error* error = nullptr);
  // kUbiquitousItemDownloadingStatusCurrent for an item inside the iCloud
  // container; absent for any other.
  std::optional<std::string> ubiquitousItemDownloadingStatus(const URL& item) const;
  // A new, empty, uniquely named directory under the device's tmp.
  std::optional<URL> createUniqueTemporaryDirectory(Error* error = nullptr) const;

  bool fileExists(const std::string& path, bool* isDirectory = nullptr) const;  // follows links
  bool fileExists(const URL& url, bool* isDirectory = nullptr) const { return fileExists(url.path(), isDirectory); }
  bool isWritableFile(const std::string& path) const;

  // Succeeds when the directory exists already and intermediates are asked for.
  bool createDirectory(const std::string& path, bool withIntermediateDirectories, Error* error = nullptr,
                       const FileAttributeChanges& attributes = {});
  bool createDirectory(const URL& url, bool withIntermediateDirectories, Error* error = nullptr) {
    return createDirectory(url.path(), withIntermediateDirectories, error);
  }
  // Writes `contents` atomically, replacing any file there.
  bool createFile(const std::string& path, const Data& contents, const FileAttributeChanges& attributes = {},
                  Error* error = nullptr);
  // Removes a file, link or whole directory tree.
  bool removeItem(const std::string& path, Error* error = nullptr);
  bool removeItem(const URL& url, Error* error = nullptr) { return removeItem(url.path(), error); }
  // Fails with kFileWriteFileExistsError when `to` exists. Works across file systems.
  bool moveItem(const std::string& from, const std::string& to, Error* error = nullptr);
  bool moveItem(const URL& from, const URL& to, Error* error = nullptr) { return moveItem(from.path(), to.path(), error); }
  // Copies recursively (links as links), keeping permissions, modification
  // dates and extended attributes. Fails with kFileWriteFileExistsError when `to` exists.
  bool copyItem(const std::string& from, const std::string& to, Error* error = nullptr);
  bool copyItem(const URL& from, const URL& to, Error* error = nullptr) { return copyItem(from.path(), to.path(), error); }

  // Entry names, sorted by name.
  std::optional<std::vector<std::string>> contentsOfDirectory(const std::string& path, Error* error = nullptr,
                                                              DirectoryListingOptions options = {}) const;
  // Entry URLs, sorted by name; directories end with "/" (hasDirectoryPath()).
  std::optional<std::vector<URL>> contentsOfDirectory(const URL& url, DirectoryListingOptions options,
                                                      Error* error = nullptr) const;
  // Every path below `path`, relative to it, parents before children,
  // siblings sorted by name; links are not followed.
  std::optional<std::vector<std::string>> subpathsOfDirectory(const std::string& path, Error* error = nullptr) const;

  // Attributes of the item itself (a link is not followed).
  std::optional<FileAttributes> attributesOfItem(const std::string& path, Error* error = nullptr) const;
  bool setAttributes(const FileAttributeChanges& changes, const std::string& path, Error* error = nullptr);

  std::optional<Data> contentsAtPath(const std::string& path, Error* error = nullptr) const;
  bool writeData(const Data& data, const std::string& path, WriteOptions options, Error* error = nullptr);
  bool writeData(const Data& data, const URL& url, WriteOptions options, Error* error = nullptr) {
    return writeData(data, url.path(), options, error);
  }
  bool contentsEqual(const std::string& path1, const std::string& path2) const;

  bool createSymbolicLink(const std::string& path, const std::string& destination, Error* error = nullptr);
  std::optional<std::string> destinationOfSymbolicLink(const std::string& path, Error* error = nullptr) const;

  // Extended attributes of the "user." namespace (give the name without it).
  bool setExtendedAttribute(const std::string& name, const Data& value, const std::string& path,
                            Error* error = nullptr);
  std::optional<Data> extendedAttribute(const std::string& name, const std::string& path,
                                        Error* error = nullptr) const;
  bool removeExtendedAttribute(const std::string& name, const std::string& path, Error* error = nullptr);

  // The "excluded from backup" resource value of a file URL.
  bool setExcludedFromBackup(const std::string& path, bool excluded, Error* error = nullptr);
  bool isExcludedFromBackup(const std::string& path) const;

  // The item's immutable flag (Linux's FS_IMMUTABLE_FL): nothing may write,
  // rename or remove an immutable file. A file system without flags reads
  // as not immutable; absent when the item cannot be opened.
  std::optional<bool> isImmutableItem(const std::string& path, Error* error = nullptr) const;
  // Changing the flag needs the CAP_LINUX_IMMUTABLE capability; without it
  // the change fails with the system's EPERM. Clearing it where the file
  // system has no flags succeeds.
  bool setImmutable(bool immutable, const std::string& path, Error* error = nullptr);

  std::string currentDirectoryPath() const;

 private:
  FileManager() = default;
};

// The device's tmp directory as a path ending in "/".
std::string temporaryDirectoryPath();

// The process's umask: read once without changing it (changing it to read
// it would race with other threads creating files), then as last set
// through setProcessUmask.
uint32_t processUmask();
// Sets the process's umask (every file and directory made afterwards, by
// any code of the process, is masked by it).
void setProcessUmask(uint32_t mask);

// Turns errno `err` of an operation on `path` into the Cocoa file error the
// platform reports: `forWriting` picks the write codes (512...) over the
// read codes (256...); `missingIsNoSuchFile` reports a missing item as
// kFileNoSuchFileError (4) rather than kFileReadNoSuchFileError (260).
Error fileError(int err, const std::string& path, bool forWriting, bool missingIsNoSuchFile = false);

}  // namespace ns
