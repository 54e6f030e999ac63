#include "Libraries/Archive/VLZipArchive.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "Libraries/Archive/VLZipDates.h"
#include "Libraries/Archive/VLZipEntryNames.h"
#include "Libraries/Archive/VLZipEntryWriter.h"
#include "Libraries/Archive/VLZipInspection.h"
#include "Libraries/Archive/VLZipLog.h"
#include "Platform/Foundation/FileManager.h"

namespace {

constexpr size_t kWriteBufferSize = 16384;
constexpr unsigned long kVersionMadeByOSX = 0x1300;
constexpr unsigned long kVersionMadeByUnix = 0x0300;
constexpr unsigned long kUtf8NameFlag = 0x0800;

std::string lastPathComponent(const std::string& path) {
  std::filesystem::path p(path);
  if (!p.has_filename()) p = p.parent_path();
  return p.filename().string();
}

bool isSymbolicLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Whether a directory (links followed) holds nothing.
bool isEmptyDirectory(const std::string& path) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return false;
  bool empty = true;
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") {
      empty = false;
      break;
    }
  }
  ::closedir(dir);
  return empty;
}

bool samePath(const std::string& a, const std::string& b) {
  std::error_code ec1, ec2;
  auto ca = std::filesystem::weakly_canonical(a, ec1);
  auto cb = std::filesystem::weakly_canonical(b, ec2);
  if (ec1 || ec2) return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
  return ca == cb;
}

// CRC-32 of a file's contents; traditional encryption needs it before the data.
std::optional<unsigned long> fileCrc(FILE* file) {
  std::vector<unsigned char> buffer(kWriteBufferSize);
  uLong crc = crc32(0L, Z_NULL, 0);
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) crc = crc32(crc, buffer.data(), static_cast<uInt>(n));
  if (std::ferror(file)) return std::nullopt;
  std::rewind(file);
  return crc;
}

unsigned long dataCrc(const void* bytes, size_t size) {
  return crc32(crc32(0L, Z_NULL, 0), static_cast<const Bytef*>(bytes), static_cast<uInt>(size));
}

bool hasPassword(const VLZipArchive::Password& password) { return password.has_value(); }

// Whether an entry of `size` bytes is written with zip64 sizes. minizip puts
// the zip64 extra field into the local header only, and a reader that turns
// UTF-8 names into its locale's charset only where a header has extra fields
// (unzip under the C locale) then sees two names for one entry. So entries
// carry it only when they may pass 4 GiB (deflate can grow data slightly);
// one that outgrows the guess fails to close instead of being cut.
int zip64For(uint64_t size) {
  constexpr uint64_t kZip64Threshold = 0xFF000000;
  return size >= kZip64Threshold ? 1 : 0;
}

uint64_t fileSize(FILE* file) {
  struct stat st {};
  return ::fstat(::fileno(file), &st) == 0 ? static_cast<uint64_t>(st.st_size) : UINT64_MAX;
}

}  // namespace

// ---- Extraction

bool VLZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination) {
  return unzipFileAtPath(path, destination, true, true, 0, std::nullopt, nullptr, nullptr, {}, {});
}

bool VLZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination,
                                   VLZipArchiveDelegate* delegate) {
  return unzipFileAtPath(path, destination, true, true, 0, std::nullopt, nullptr, delegate, {}, {});
}

bool VLZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                                   const Password& password, ns::Error* error) {
  return unzipFileAtPath(path, destination, true, overwrite, 0, password, error, nullptr, {}, {});
}

bool VLZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                                   const Password& password, ns::Error* error, VLZipArchiveDelegate* delegate) {
  return unzipFileAtPath(path, destination, true, overwrite, 0, password, error, delegate, {}, {});
}

bool VLZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                                   const Password& password, const ProgressHandler& progressHandler,
                                   const CompletionHandler& completionHandler) {
  return unzipFileAtPath(path, destination, true, overwrite, 0, password, nullptr, nullptr, progressHandler,
                         completionHandler);
}

bool VLZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination,
                                   const ProgressHandler& progressHandler,
                                   const CompletionHandler& completionHandler) {
  return unzipFileAtPath(path, destination, true, true, 0, std::nullopt, nullptr, nullptr, progressHandler,
                         completionHandler);
}

bool VLZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                   bool overwrite, const Password& password, ns::Error* error,
                                   VLZipArchiveDelegate* delegate) {
  return unzipFileAtPath(path, destination, preserveAttributes, overwrite, 0, password, error, delegate, {}, {});
}

bool VLZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                   bool overwrite, const Password& password, ns::Error* error,
                                   VLZipArchiveDelegate* delegate, const ProgressHandler& progressHandler,
                                   const CompletionHandler& completionHandler) {
  return unzipFileAtPath(path, destination, preserveAttributes, overwrite, 0, password, error, delegate,
                         progressHandler, completionHandler);
}

bool VLZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                   bool overwrite, long nestedZipLevel, const Password& password, ns::Error* error,
                                   VLZipArchiveDelegate* delegate, const ProgressHandler& progressHandler,
                                   const CompletionHandler& completionHandler) {
  return VLZipExtraction::run(path, destination, preserveAttributes, overwrite, nestedZipLevel, password, error,
                              delegate, progressHandler, completionHandler);
}

// ---- Inspection, names and dates

bool VLZipArchive::isFilePasswordProtectedAtPath(const std::string& path) {
  return VLZipInspection::isFilePasswordProtectedAtPath(path);
}

bool VLZipArchive::isPasswordValidForArchiveAtPath(const std::string& path, const Password& password,
                                                   ns::Error* error) {
  return VLZipInspection::isPasswordValidForArchiveAtPath(path, password, error);
}

uint64_t VLZipArchive::payloadSizeForArchiveAtPath(const std::string& path, ns::Error* error) {
  return VLZipInspection::payloadSizeForArchiveAtPath(path, error);
}

std::string VLZipArchive::filenameStringWithCString(const char* bytes, uint16_t versionMadeBy,
                                                    uint16_t generalPurposeFlag, size_t size) {
  return VLZipEntryNames::decode(bytes, size, versionMadeBy, generalPurposeFlag);
}

ns::Date VLZipArchive::dateWithMSDOSFormat(uint32_t dosDate) { return VLZipDates::dateWithMSDOSFormat(dosDate); }

const ns::Calendar& VLZipArchive::gregorian() { return VLZipDates::gregorian(); }

std::string VLZipArchive::sanitizedPath(const std::string& path) { return VLZipEntryNames::sanitizedPath(path); }

std::string VLZipArchive::hexString(const ns::Data& data) { return VLZipEntryNames::hexString(data); }

std::string VLZipArchive::base64RFC4648(const ns::Data& data) { return VLZipEntryNames::base64RFC4648(data); }

// ---- Creation in one call

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::vector<std::string>& filesAtPaths) {
  return createZipFileAtPath(path, filesAtPaths, Password());
}

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::vector<std::string>& filesAtPaths,
                                       const Password& password) {
  return createZipFileAtPath(path, filesAtPaths, password, CreationProgressHandler());
}

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::vector<std::string>& filesAtPaths,
                                       const Password& password, const CreationProgressHandler& progressHandler) {
  VLZipArchive zip(path);
  if (!zip.open()) return false;
  bool success = true;
  unsigned long written = 0;
  for (const auto& file : filesAtPaths) {
    success &= zip.writeFile(file, password);
    ++written;
    if (progressHandler) progressHandler(written, filesAtPaths.size());
  }
  success &= zip.close();
  return success;
}

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::vector<std::string>& filesAtPaths,
                                       const Password& password, bool keepSymlinks) {
  if (!keepSymlinks) return createZipFileAtPath(path, filesAtPaths, password);
  VLZipArchive zip(path);
  if (!zip.open()) return false;
  bool success = true;
  for (const auto& file : filesAtPaths) {
    if (isSymbolicLink(file)) {
      success &= zip.writeSymlinkFileAtPath(file, lastPathComponent(file), -1, password, true);
    } else {
      success &= zip.writeFile(file, password);
    }
  }
  success &= zip.close();
  return success;
}

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory) {
  return createZipFileAtPath(path, contentsOfDirectory, Password());
}

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                       const Password& password) {
  return createZipFileAtPath(path, contentsOfDirectory, false, password);
}

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                       bool keepParentDirectory) {
  return createZipFileAtPath(path, contentsOfDirectory, keepParentDirectory, Password());
}

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                       bool keepParentDirectory, const Password& password) {
  return createZipFileAtPath(path, contentsOfDirectory, keepParentDirectory, password, CreationProgressHandler());
}

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                       bool keepParentDirectory, const Password& password,
                                       const CreationProgressHandler& progressHandler) {
  return createZipFileAtPath(path, contentsOfDirectory, keepParentDirectory, -1, password, true, progressHandler);
}

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                       bool keepParentDirectory, int compressionLevel, const Password& password,
                                       bool aes, const CreationProgressHandler& progressHandler) {
  return createZipFileAtPath(path, contentsOfDirectory, keepParentDirectory, compressionLevel, password, aes,
                             progressHandler, false);
}

bool VLZipArchive::createZipFileAtPath(const std::string& path, const std::string& contentsOfDirectory,
                                       bool keepParentDirectory, int compressionLevel, const Password& password,
                                       bool aes, const CreationProgressHandler& progressHandler, bool keepSymlinks) {
  VLZipArchive zip(path);
  if (!zip.open()) return false;
  // A directory that cannot be listed is not an empty one.
  auto listed = ns::FileManager::defaultManager().subpathsOfDirectory(contentsOfDirectory);
  if (!listed) {
    zip.close();
    return false;
  }
  std::vector<std::string> items = std::move(*listed);
  if (keepParentDirectory && items.empty()) items.push_back("");
  const unsigned long total = items.size();
  const std::string parentName = lastPathComponent(contentsOfDirectory);

  bool success = true;
  unsigned long handled = 0;
  for (const auto& relative : items) {
    const std::string full = relative.empty() ? contentsOfDirectory : contentsOfDirectory + "/" + relative;
    // Reading the archive while writing it would never end.
    if (samePath(full, path)) {
      VLZipLog::log("the archive path and the file path: " + full + " are the same, which is forbidden.");
      continue;
    }
    std::string entryName = relative;
    if (keepParentDirectory) entryName = relative.empty() ? parentName : parentName + "/" + relative;

    bool isDirectory = false;
    if (keepSymlinks && isSymbolicLink(full)) {
      success &= zip.writeSymlinkFileAtPath(full, entryName, compressionLevel, password, aes);
    } else if (ns::FileManager::defaultManager().fileExists(full, &isDirectory) && isDirectory) {
      if (isEmptyDirectory(full)) success &= zip.writeFolderAtPath(full, entryName, password);
    } else {
      success &= zip.writeFileAtPath(full, entryName, compressionLevel, password, aes);
    }
    ++handled;
    if (progressHandler) progressHandler(handled, total);
  }
  success &= zip.close();
  return success;
}

// ---- Creation entry by entry

VLZipArchive::VLZipArchive(std::string path) : path_(std::move(path)) {}

VLZipArchive::~VLZipArchive() {
  if (zip_) zipClose(zip_, nullptr);
}

bool VLZipArchive::open() {
  if (zip_) return false;
  zip_ = zipOpen64(path_.c_str(), APPEND_STATUS_CREATE);
  return zip_ != nullptr;
}

bool VLZipArchive::openForAppending() {
  if (zip_) return false;
  zip_ = zipOpen64(path_.c_str(), APPEND_STATUS_ADDINZIP);
  return zip_ != nullptr;
}

bool VLZipArchive::close() {
  if (!zip_) return false;
  int ret = zipClose(zip_, nullptr);
  zip_ = nullptr;
  return ret == ZIP_OK;
}

void VLZipArchive::zipInfoSetDate(zip_fileinfo* info, ns::Date date) { info->tmz_date = VLZipDates::tmZipFromDate(date); }

void VLZipArchive::zipInfoSetAttributesOfItemAtPath(zip_fileinfo* info, const std::string& path) {
  auto attributes = ns::FileManager::defaultManager().attributesOfItem(path);
  if (!attributes) return;
  zipInfoSetDate(info, attributes->modificationDate);
  auto permissions = static_cast<int16_t>(attributes->posixPermissions);
  info->external_fa = static_cast<uLong>(static_cast<uint32_t>(0100000 + permissions) << 16);
}

bool VLZipArchive::writeFile(const std::string& path, const Password& password) {
  return writeFileAtPath(path, std::nullopt, password);
}

bool VLZipArchive::writeFileAtPath(const std::string& path, const std::optional<std::string>& fileName,
                                   const Password& password) {
  return writeFileAtPath(path, fileName, -1, password, true);
}

bool VLZipArchive::writeFileAtPath(const std::string& path, const std::optional<std::string>& fileName,
                                   int compressionLevel, const Password& password, bool /*aes: traditional here*/) {
  std::unique_ptr<FILE, int (*)(FILE*)> input(std::fopen(path.c_str(), "r"), std::fclose);
  if (!input) return false;
  const std::string name = fileName ? *fileName : lastPathComponent(path);
  zip_fileinfo info{};
  zipInfoSetAttributesOfItemAtPath(&info, path);

  VLZipEntryWriter::Options options{compressionLevel, password, 0, kVersionMadeByOSX, kUtf8NameFlag,
                                    zip64For(fileSize(input.get()))};
  if (hasPassword(password)) {
    auto computed = fileCrc(input.get());
    if (!computed) return false;
    options.crc = *computed;
  }
  VLZipEntryWriter entry(zip_);
  if (!entry.open(name, info, options)) return false;

  // A read or write error leaves a damaged entry: the write fails.
  bool success = true;
  std::vector<char> buffer(kWriteBufferSize);
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), input.get())) > 0) {
    if (!entry.write(buffer.data(), n)) {
      success = false;
      break;
    }
  }
  if (std::ferror(input.get())) success = false;
  if (!entry.close()) success = false;
  return success;
}

bool VLZipArchive::writeFolderAtPath(const std::string& path, const std::string& folderName,
                                     const Password& password) {
  zip_fileinfo info{};
  zipInfoSetAttributesOfItemAtPath(&info, path);
  VLZipEntryWriter entry(zip_);
  if (!entry.open(folderName + "/", info, {0, password, dataCrc(nullptr, 0), kVersionMadeByOSX, kUtf8NameFlag, 0}))
    return false;
  bool success = entry.write("", 0);
  return entry.close() && success;
}

bool VLZipArchive::writeSymlinkFileAtPath(const std::string& path, const std::optional<std::string>& fileName,
                                          int compressionLevel, const Password& password, bool /*aes*/) {
  char target[1024];
  ssize_t length = ::readlink(path.c_str(), target, sizeof target);
  // A target that fills the buffer may have been cut short.
  if (length < 0 || static_cast<size_t>(length) >= sizeof target) {
    VLZipLog::log("Failed to read sylink");
    return false;
  }
  const std::string name = fileName ? *fileName : lastPathComponent(path);
  zip_fileinfo info{};
  zipInfoSetAttributesOfItemAtPath(&info, path);

  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    // MS-DOS attributes in the low bits: read-only, directory.
    uint32_t dos = 0;
    if (!(st.st_mode & 0222)) dos |= 0x01;
    if (S_ISDIR(st.st_mode)) dos |= 0x10;
    info.external_fa = dos | (static_cast<uint32_t>(st.st_mode) << 16);
  }
  VLZipEntryWriter entry(zip_);
  if (!entry.open(name, info,
                  {compressionLevel, password, dataCrc(target, static_cast<size_t>(length)), kVersionMadeByUnix, 0, 0}))
    return false;
  bool success = entry.write(target, static_cast<size_t>(length));
  return entry.close() && success;
}

bool VLZipArchive::writeData(const ns::Data& data, const std::string& filename, int compressionLevel,
                             const Password& password, bool /*aes*/) {
  if (!zip_) return false;
  zip_fileinfo info{};
  zipInfoSetDate(&info, ns::Date::now());
  VLZipEntryWriter entry(zip_);
  if (!entry.open(filename, info,
                  {compressionLevel, password, dataCrc(data.data(), data.size()), kVersionMadeByOSX, kUtf8NameFlag,
                   zip64For(data.size())}))
    return false;
  bool success = entry.write(data.data(), data.size());
  return entry.close() && success;
}

bool VLZipArchive::writeData(const ns::Data& data, const std::string& filename, const Password& password) {
  return writeData(data, filename, -1, password, true);
}

zip_fileinfo VLZipArchive::infoFor(const EntryAttributes& attributes) {
  // Entries written together mostly share their second: the calendar is
  // asked once per second, not once per entry.
  const auto second = static_cast<int64_t>(std::floor(attributes.date.timeIntervalSinceReferenceDate()));
  if (lastSecond_ != second) {
    lastDate_ = VLZipDates::tmZipFromDate(attributes.date);
    lastSecond_ = second;
  }
  zip_fileinfo info{};
  info.tmz_date = lastDate_;
  auto permissions = static_cast<int16_t>(attributes.posixPermissions & 07777);
  info.external_fa = static_cast<uLong>(static_cast<uint32_t>(0100000 + permissions) << 16);
  return info;
}

bool VLZipArchive::writeData(const ns::Data& data, const std::string& filename, const EntryAttributes& attributes,
                             int compressionLevel) {
  if (!zip_) return false;
  const zip_fileinfo info = infoFor(attributes);
  if (data.size() > VLZipDeflater::kMaximumSize) {
    VLZipEntryWriter entry(zip_);
    if (!entry.open(filename, info, {compressionLevel, std::nullopt, 0, kVersionMadeByOSX, kUtf8NameFlag,
                                     zip64For(data.size())}))
      return false;
    bool success = entry.write(data.data(), data.size());
    return entry.close() && success;
  }
  // Deflated here and handed to minizip raw, with the checksum and size.
  const std::vector<uint8_t>* deflated = deflater_.deflate(data.data(), data.size(), compressionLevel);
  if (!deflated) return false;
  if (zipOpenNewFileInZip4_64(zip_, filename.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              compressionLevel, 1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, kVersionMadeByOSX,
                              kUtf8NameFlag, 0) != ZIP_OK)
    return false;
  bool success = zipWriteInFileInZip(zip_, deflated->data(), static_cast<unsigned>(deflated->size())) >= 0;
  return zipCloseFileInZipRaw64(zip_, data.size(), dataCrc(data.data(), data.size())) == ZIP_OK && success;
}

bool VLZipArchive::writeFolder(const std::string& folderName, const EntryAttributes& attributes) {
  if (!zip_) return false;
  const zip_fileinfo info = infoFor(attributes);
  VLZipEntryWriter entry(zip_);
  if (!entry.open(folderName + "/", info, {0, std::nullopt, 0, kVersionMadeByOSX, kUtf8NameFlag, 0})) return false;
  bool success = entry.write("", 0);
  return entry.close() && success;
}
