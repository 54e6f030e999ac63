#include "Platform/Foundation/FileManager.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"

namespace ns {
namespace {

constexpr const char* kCreationDateAttribute = "user.quillbox.creationDate";
constexpr const char* kProtectionAttribute = "user.quillbox.protection";
constexpr const char* kExcludedFromBackupAttribute = "user.quillbox.excludedFromBackup";

std::string displayName(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

Date dateOf(const struct timespec& ts) {
  return Date::fromUnixTime(static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9);
}

struct timespec timespecOf(Date date) {
  double unix = date.timeIntervalSince1970();
  double whole = std::floor(unix);
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(whole);
  ts.tv_nsec = static_cast<long>(std::llround((unix - whole) * 1e9));
  if (ts.tv_nsec >= 1000000000L) {
    ts.tv_sec += 1;
    ts.tv_nsec -= 1000000000L;
  }
  return ts;
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string parentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void syncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

std::optional<std::string> getAttribute(const std::string& path, const char* name, bool follow = true) {
  char buffer[256];
  ssize_t n = follow ? ::getxattr(path.c_str(), name, buffer, sizeof buffer)
                     : ::lgetxattr(path.c_str(), name, buffer, sizeof buffer);
  if (n < 0) return std::nullopt;
  return std::string(buffer, static_cast<size_t>(n));
}

bool setAttribute(const std::string& path, const char* name, const std::string& value) {
  return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

// Copies every extended attribute of `from` to `to` (best effort).
void copyExtendedAttributes(const std::string& from, const std::string& to) {
  ssize_t size = ::llistxattr(from.c_str(), nullptr, 0);
  if (size <= 0) return;
  std::string names(static_cast<size_t>(size), '\0');
  size = ::llistxattr(from.c_str(), names.data(), names.size());
  if (size <= 0) return;
  for (size_t i = 0; i < static_cast<size_t>(size);) {
    const char* name = names.c_str() + i;
    i += std::strlen(name) + 1;
    if (std::strncmp(name, "user.", 5) != 0) continue;
    ssize_t len = ::lgetxattr(from.c_str(), name, nullptr, 0);
    if (len < 0) continue;
    std::string value(static_cast<size_t>(len), '\0');
    len = ::lgetxattr(from.c_str(), name, value.data(), value.size());
    if (len >= 0) ::lsetxattr(to.c_str(), name, value.data(), static_cast<size_t>(len), 0);
  }
}

bool copyFileContents(const std::string& from, const std::string& to, const struct stat& st, int& err) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    err = errno;
    return false;
  }
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    err = errno;
    ::close(in);
    return false;
  }
  bool ok = true;
  uint8_t buffer[65536];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (n > 0 && !writeAll(out, buffer, static_cast<size_t>(n)))) {
      err = errno;
      ok = false;
      break;
    }
    if (n == 0) break;
  }
  if (ok) {
    ::fchmod(out, st.st_mode & 07777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
  }
  ::close(in);
  if (::close(out) != 0 && ok) {
    err = errno;
    ok = false;
  }
  return ok;
}

// The names in a directory, without "." and "..".
bool directoryEntryNames(const std::string& path, std::vector<std::string>& names, int& err) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) {
    err = errno;
    return false;
  }
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return true;
}

bool copyRecursively(const std::string& from, const std::string& to, int& err) {
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) {
    err = errno;
    return false;
  }
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> target(static_cast<size_t>(st.st_size) + 1);
    ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
    if (n < 0) {
      err = errno;
      return false;
    }
    if (::symlink(std::string(target.data(), static_cast<size_t>(n)).c_str(), to.c_str()) != 0) {
      err = errno;
      return false;
    }
    return true;
  }
  if (S_ISDIR(st.st_mode)) {
    if (::mkdir(to.c_str(), 0700) != 0) {
      err = errno;
      return false;
    }
    std::vector<std::string> names;
    if (!directoryEntryNames(from, names, err)) return false;
    for (const auto& name : names)
      if (!copyRecursively(from + "/" + name, to + "/" + name, err)) return false;
    ::chmod(to.c_str(), st.st_mode & 07777);
    copyExtendedAttributes(from, to);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, to.c_str(), times, 0);
    return true;
  }
  if (!S_ISREG(st.st_mode)) {
    err = ENOTSUP;
    return false;
  }
  if (!copyFileContents(from, to, st, err)) return false;
  copyExtendedAttributes(from, to);
  return true;
}

bool removeRecursively(const std::string& path, int& err) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    err = errno;
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    std::vector<std::string> names;
    if (!directoryEntryNames(path, names, err)) return false;
    for (const auto& name : names)
      if (!removeRecursively(path + "/" + name, err) && err != ENOENT) return false;
    if (::rmdir(path.c_str()) != 0) {
      err = errno;
      return false;
    }
    return true;
  }
  if (::unlink(path.c_str()) != 0) {
    err = errno;
    return false;
  }
  return true;
}

void collectSubpaths(const std::string& root, const std::string& relative, std::vector<std::string>& out) {
  std::string dirPath = relative.empty() ? root : root + "/" + relative;
  DIR* dir = ::opendir(dirPath.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    std::string sub = relative.empty() ? name : relative + "/" + name;
    out.push_back(sub);
    struct stat st;
    if (::lstat((root + "/" + sub).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) collectSubpaths(root, sub, out);
  }
}

}  // namespace

namespace {
std::atomic<uint32_t>& knownUmask() {
  static std::atomic<uint32_t> mask = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("Umask:", 0) == 0) return static_cast<uint32_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return uint32_t{022};
  }();
  return mask;
}
}  // namespace

uint32_t processUmask() { return knownUmask().load(); }

void setProcessUmask(uint32_t mask) {
  ::umask(static_cast<mode_t>(mask & 0777));
  knownUmask().store(mask & 0777);
}

Error fileError(int err, const std::string& path, bool forWriting, bool missingIsNoSuchFile) {
  int64_t code;
  std::string name = displayName(path);
  std::string text;
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      if (forWriting || missingIsNoSuchFile) {
        code = kFileNoSuchFileError;
        text = "The file \u201c" + name + "\u201d doesn\u2019t exist.";
      } else {
        code = kFileReadNoSuchFileError;
        text = "The file \u201c" + name + "\u201d couldn\u2019t be opened because there is no such file.";
      }
      break;
    case EEXIST:
    case ENOTEMPTY:
      code = kFileWriteFileExistsError;
      text = "\u201c" + name + "\u201d couldn\u2019t be saved because a file with the same name already exists.";
      break;
    case EACCES:
    case EPERM:
      if (forWriting) {
        code = kFileWriteNoPermissionError;
        text = "You don\u2019t have permission to save the file \u201c" + name + "\u201d.";
      } else {
        code = kFileReadNoPermissionError;
        text = "The file \u201c" + name + "\u201d couldn\u2019t be opened because you don\u2019t have permission to view it.";
      }
      break;
    case ENOSPC:
    case EDQUOT:
      code = forWriting ? kFileWriteOutOfSpaceError : kFileReadUnknownError;
      text = "The file \u201c" + name + "\u201d couldn\u2019t be saved because there isn\u2019t enough space.";
      break;
    case EROFS:
      code = forWriting ? kFileWriteVolumeReadOnlyError : kFileReadUnknownError;
      text = "The file \u201c" + name + "\u201d couldn\u2019t be saved because the volume is read only.";
      break;
    case ENAMETOOLONG:
      code = forWriting ? kFileWriteInvalidFileNameError : kFileReadInvalidFileNameError;
      text = "The file name \u201c" + name + "\u201d is invalid.";
      break;
    default:
      code = forWriting ? kFileWriteUnknownError : kFileReadUnknownError;
      text = forWriting ? "The file \u201c" + name + "\u201d couldn\u2019t be saved."
                        : "The file \u201c" + name + "\u201d couldn\u2019t be opened.";
  }
  Dictionary info{{kLocalizedDescriptionKey, Value(text)}, {kFilePathErrorKey, Value(path)},
                  {kUnderlyingErrorKey, Value(Error::posix(err).description())}};
  return Error(kCocoaErrorDomain, code, std::move(info));
}

FileManager& FileManager::defaultManager() {
  static FileManager manager;
  return manager;
}

URL FileManager::documentsDirectory() const { return URL::fileURLWithPath(Device::current().documentsDirectory(), true); }
URL FileManager::libraryDirectory() const { return URL::fileURLWithPath(Device::current().libraryDirectory(), true); }
URL FileManager::preferencesDirectory() const {
  return URL::fileURLWithPath(Device::current().preferencesDirectory(), true);
}
URL FileManager::cachesDirectory() const { return URL::fileURLWithPath(Device::current().cachesDirectory(), true); }
URL FileManager::applicationSupportDirectory() const {
  return URL::fileURLWithPath(Device::current().applicationSupportDirectory(), true);
}
URL FileManager::temporaryDirectory() const { return URL::fileURLWithPath(Device::current().temporaryDirectory(), true); }

std::optional<URL> FileManager::containerURLForSecurityApplicationGroupIdentifier(const std::string& group) const {
  if (group.empty() || group.find('/') != std::string::npos || group == "." || group == "..") return std::nullopt;
  std::string dir = Device::current().groupContainerDirectory(group);
  if (dir.empty()) return std::nullopt;
  return URL::fileURLWithPath(dir, true);
}

std::optional<URL> FileManager::ubiquityContainerURL(const std::string& containerIdentifier) const {
  std::string identifier = containerIdentifier;
  if (identifier.empty()) identifier = "iCloud." + Bundle::mainBundle()->bundleIdentifier().value_or("default");
  if (identifier.find('/') != std::string::npos || identifier == "." || identifier == "..") return std::nullopt;
  std::string dir = Device::current().iCloudContainerDirectory(identifier);
  if (dir.empty()) return std::nullopt;
  return URL::fileURLWithPath(dir, true);
}

bool FileManager::setUbiquitous(bool ubiquitous, const URL& item, const URL& destination, Error* error) {
  (void)ubiquitous;
  if (!Device::current().facts().iCloudSignedIn) {
    setError(error, Error::withDescription(kCocoaErrorDomain, kUbiquitousFileUnavailableError,
                                           "iCloud is not available: no account is signed in."));
    return false;
  }
  return moveItem(item, destination, error);
}

bool FileManager::startDownloadingUbiquitousItem(const URL& item, Error* error) {
  struct stat st;
  if (::lstat(item.path().c_str(), &st) != 0) {
    setError(error, fileError(errno, item.path(), false));
    return false;
  }
  return true;
}

std::optional<std::string> FileManager::ubiquitousItemDownloadingStatus(const URL& item) const {
  std::string root = Device::current().directory() + "/iCloud/";
  std::string path = item.path();
  if (!Device::current().facts().iCloudSignedIn || path.rfind(root, 0) != 0 || !fileExists(path)) return std::nullopt;
  return std::string(kUbiquitousItemDownloadingStatusCurrent);
}

std::string temporaryDirectoryPath() { return Device::current().temporaryDirectory() + "/"; }

std::optional<URL> FileManager::createUniqueTemporaryDirectory(Error* error) const {
  std::string base = Device::current().temporaryDirectory();
  ::mkdir(base.c_str(), 0700);
  std::string pattern = base + "/item.XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    setError(error, fileError(errno, base, true));
    return std::nullopt;
  }
  return URL::fileURLWithPath(pattern, true);
}

bool FileManager::fileExists(const std::string& path, bool* isDirectory) const {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
  return true;
}

bool FileManager::isWritableFile(const std::string& path) const { return ::access(path.c_str(), W_OK) == 0; }

bool FileManager::createDirectory(const std::string& path, bool withIntermediates, Error* error,
                                  const FileAttributeChanges& attributes) {
  if (path.empty()) {
    setError(error, fileError(ENOENT, path, true));
    return false;
  }
  if (withIntermediates) {
    std::string partial;
    size_t i = 0;
    while (i <= path.size()) {
      size_t next = path.find('/', i);
      if (next == std::string::npos) next = path.size();
      partial = path.substr(0, next);
      i = next + 1;
      if (partial.empty()) continue;
      if (::mkdir(partial.c_str(), 0777) != 0) {
        int err = errno;
        struct stat st;
        if (err == EEXIST && ::stat(partial.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        setError(error, fileError(err, partial, true));
        return false;
      }
    }
  } else if (::mkdir(path.c_str(), 0777) != 0) {
    setError(error, fileError(errno, path, true));
    return false;
  }
  if (attributes.posixPermissions || attributes.modificationDate || attributes.creationDate || attributes.protection)
    return setAttributes(attributes, path, error);
  return true;
}

bool FileManager::createFile(const std::string& path, const Data& contents, const FileAttributeChanges& attributes,
                             Error* error) {
  if (!writeData(contents, path, WriteOptions{.atomic = true}, error)) return false;
  if (attributes.posixPermissions || attributes.modificationDate || attributes.creationDate || attributes.protection)
    return setAttributes(attributes, path, error);
  return true;
}

bool FileManager::removeItem(const std::string& path, Error* error) {
  int err = 0;
  if (path.empty() || !removeRecursively(path, err)) {
    setError(error, fileError(path.empty() ? ENOENT : err, path, true, true));
    return false;
  }
  return true;
}

bool FileManager::moveItem(const std::string& from, const std::string& to, Error* error) {
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) {
    setError(error, fileError(errno, from, true, true));
    return false;
  }
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  int err = errno;
  if (err == EINVAL || err == ENOSYS) {  // no RENAME_NOREPLACE on this file system
    struct stat existing;
    if (::lstat(to.c_str(), &existing) == 0) {
      setError(error, fileError(EEXIST, to, true));
      return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    err = errno;
  }
  if (err == EXDEV) {
    if (!copyItem(from, to, error)) return false;
    return removeItem(from, error);
  }
  setError(error, fileError(err, err == EEXIST ? to : from, true, true));
  return false;
}

bool FileManager::copyItem(const std::string& from, const std::string& to, Error* error) {
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) {
    setError(error, fileError(errno, from, false));
    return false;
  }
  if (::lstat(to.c_str(), &st) == 0) {
    setError(error, fileError(EEXIST, to, true));
    return false;
  }
  // A directory copied into itself would never end.
  char* source = ::realpath(from.c_str(), nullptr);
  char* targetParent = ::realpath(parentOf(to).c_str(), nullptr);
  bool intoItself = source && targetParent &&
                    (std::string(targetParent) + "/").rfind(std::string(source) + "/", 0) == 0;
  std::free(source);
  std::free(targetParent);
  if (intoItself) {
    setError(error, fileError(EINVAL, to, true));
    return false;
  }
  int err = 0;
  if (!copyRecursively(from, to, err)) {
    // Leave no half copy behind.
    int ignored = 0;
    if (err != EEXIST) removeRecursively(to, ignored);
    setError(error, fileError(err, to, true));
    return false;
  }
  return true;
}

std::optional<std::vector<std::string>> FileManager::contentsOfDirectory(const std::string& path, Error* error,
                                                                         DirectoryListingOptions options) const {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) {
    setError(error, fileError(errno, path, false));
    return std::nullopt;
  }
  std::vector<std::string> names;
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (options.skipsHiddenFiles && name[0] == '.') continue;
    names.push_back(std::move(name));
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::vector<URL>> FileManager::contentsOfDirectory(const URL& url, DirectoryListingOptions options,
                                                                 Error* error) const {
  std::string path = url.path();
  auto names = contentsOfDirectory(path, error, options);
  if (!names) return std::nullopt;
  std::vector<URL> urls;
  std::string prefix = path == "/" ? "/" : path + "/";
  for (const auto& name : *names) {
    struct stat st;
    bool isDirectory = ::lstat((prefix + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    urls.push_back(URL::fileURLWithPath(prefix + name, isDirectory));
  }
  return urls;
}

std::optional<std::vector<std::string>> FileManager::subpathsOfDirectory(const std::string& path,
                                                                         Error* error) const {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    setError(error, fileError(::stat(path.c_str(), &st) != 0 ? errno : ENOTDIR, path, false));
    return std::nullopt;
  }
  std::vector<std::string> out;
  collectSubpaths(path, "", out);
  return out;
}

std::optional<FileAttributes> FileManager::attributesOfItem(const std::string& path, Error* error) const {
  struct statx stx;
  if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) {
    setError(error, fileError(errno, path, false));
    return std::nullopt;
  }
  FileAttributes a;
  a.size = stx.stx_size;
  mode_t mode = stx.stx_mode;
  a.type = S_ISREG(mode)    ? FileType::Regular
           : S_ISDIR(mode)  ? FileType::Directory
           : S_ISLNK(mode)  ? FileType::SymbolicLink
           : S_ISSOCK(mode) ? FileType::Socket
           : S_ISCHR(mode)  ? FileType::CharacterSpecial
           : S_ISBLK(mode)  ? FileType::BlockSpecial
           : S_ISFIFO(mode) ? FileType::Fifo
                            : FileType::Unknown;
  a.posixPermissions = mode & 07777;
  a.modificationDate = dateOf({static_cast<time_t>(stx.stx_mtime.tv_sec), static_cast<long>(stx.stx_mtime.tv_nsec)});
  a.systemFileNumber = stx.stx_ino;
  a.ownerAccountID = stx.stx_uid;
  a.referenceCount = stx.stx_nlink;
  bool follow = a.type != FileType::SymbolicLink;
  if (auto stored = getAttribute(path, kCreationDateAttribute, follow); stored && !stored->empty()) {
    a.creationDate = Date::fromUnixTime(std::strtod(stored->c_str(), nullptr));
  } else if (stx.stx_mask & STATX_BTIME) {
    a.creationDate = dateOf({static_cast<time_t>(stx.stx_btime.tv_sec), static_cast<long>(stx.stx_btime.tv_nsec)});
  } else {
    a.creationDate = a.modificationDate;
  }
  a.protection = getAttribute(path, kProtectionAttribute, follow);
  return a;
}

bool FileManager::setAttributes(const FileAttributeChanges& changes, const std::string& path, Error* error) {
  if (changes.posixPermissions && ::chmod(path.c_str(), static_cast<mode_t>(*changes.posixPermissions & 07777)) != 0) {
    setError(error, fileError(errno, path, true, true));
    return false;
  }
  if (changes.modificationDate) {
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[0].tv_sec = 0;
    times[1] = timespecOf(*changes.modificationDate);
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
      setError(error, fileError(errno, path, true, true));
      return false;
    }
  }
  if (changes.creationDate) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", changes.creationDate->timeIntervalSince1970());
    if (!setAttribute(path, kCreationDateAttribute, text)) {
      setError(error, fileError(errno, path, true, true));
      return false;
    }
  }
  if (changes.protection && !setAttribute(path, kProtectionAttribute, *changes.protection)) {
    setError(error, fileError(errno, path, true, true));
    return false;
  }
  return true;
}

std::optional<Data> FileManager::contentsAtPath(const std::string& path, Error* error) const {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    setError(error, fileError(errno, path, false));
    return std::nullopt;
  }
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    setError(error, fileError(EISDIR, path, false));
    return std::nullopt;
  }
  Data data;
  if (st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
  uint8_t buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      ::close(fd);
      setError(error, fileError(err, path, false));
      return std::nullopt;
    }
    if (n == 0) break;
    data.insert(data.end(), buffer, buffer + n);
  }
  ::close(fd);
  return data;
}

bool FileManager::writeData(const Data& data, const std::string& path, WriteOptions options, Error* error) {
  if (path.empty()) {
    setError(error, fileError(ENOENT, path, true));
    return false;
  }
  if (!options.atomic) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (options.withoutOverwriting ? O_EXCL : O_TRUNC);
    int fd = ::open(path.c_str(), flags, options.ownerOnly ? 0600 : 0666);
    if (fd < 0) {
      setError(error, fileError(errno, path, true));
      return false;
    }
    bool ok = (!options.ownerOnly || ::fchmod(fd, 0600) == 0) && writeAll(fd, data.data(), data.size());
    int err = errno;
    if (::close(fd) != 0 && ok) {
      ok = false;
      err = errno;
    }
    if (!ok) setError(error, fileError(err, path, true));
    return ok;
  }

  // Atomic: a hidden temporary next to the target, made durable, then put in place.
  std::string dir = parentOf(path);
  std::string temp = dir + "/." + displayName(path) + ".XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    setError(error, fileError(errno, path, true));
    return false;
  }
  struct stat existing;
  mode_t mode = options.ownerOnly                           ? 0600
                : ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777)
                                                        : (0666 & ~processUmask());
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data.data(), data.size()) && (!options.durable || ::fsync(fd) == 0);
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok) {
    if (options.withoutOverwriting) {
      // link() fails when the name is taken, so two writers cannot both win.
      ok = ::link(temp.c_str(), path.c_str()) == 0;
      err = errno;
      ::unlink(temp.c_str());
    } else {
      ok = ::rename(temp.c_str(), path.c_str()) == 0;
      err = errno;
    }
  }
  if (!ok) {
    ::unlink(temp.c_str());
    setError(error, fileError(err, path, true));
    return false;
  }
  if (options.durable) syncDirectory(dir);
  return true;
}

bool FileManager::contentsEqual(const std::string& path1, const std::string& path2) const {
  struct stat a, b;
  if (::lstat(path1.c_str(), &a) != 0 || ::lstat(path2.c_str(), &b) != 0) return false;
  if ((a.st_mode & S_IFMT) != (b.st_mode & S_IFMT)) return false;
  if (S_ISLNK(a.st_mode)) return destinationOfSymbolicLink(path1) == destinationOfSymbolicLink(path2);
  if (S_ISDIR(a.st_mode)) {
    auto left = contentsOfDirectory(path1), right = contentsOfDirectory(path2);
    if (!left || !right || *left != *right) return false;
    for (const auto& name : *left)
      if (!contentsEqual(path1 + "/" + name, path2 + "/" + name)) return false;
    return true;
  }
  if (a.st_size != b.st_size) return false;
  auto left = contentsAtPath(path1), right = contentsAtPath(path2);
  return left && right && *left == *right;
}

bool FileManager::createSymbolicLink(const std::string& path, const std::string& destination, Error* error) {
  if (::symlink(destination.c_str(), path.c_str()) != 0) {
    setError(error, fileError(errno, path, true));
    return false;
  }
  return true;
}

std::optional<std::string> FileManager::destinationOfSymbolicLink(const std::string& path, Error* error) const {
  std::vector<char> buffer(4096);
  ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
  if (n < 0) {
    setError(error, fileError(errno, path, false));
    return std::nullopt;
  }
  return std::string(buffer.data(), static_cast<size_t>(n));
}

bool FileManager::setExtendedAttribute(const std::string& name, const Data& value, const std::string& path,
                                       Error* error) {
  std::string full = "user." + name;
  if (::setxattr(path.c_str(), full.c_str(), value.data(), value.size(), 0) != 0) {
    setError(error, fileError(errno, path, true, true));
    return false;
  }
  return true;
}

std::optional<Data> FileManager::extendedAttribute(const std::string& name, const std::string& path,
                                                   Error* error) const {
  std::string full = "user." + name;
  for (;;) {
    ssize_t size = ::getxattr(path.c_str(), full.c_str(), nullptr, 0);
    if (size < 0) break;
    Data value(static_cast<size_t>(size));
    ssize_t n = ::getxattr(path.c_str(), full.c_str(), value.data(), value.size());
    if (n >= 0) {
      value.resize(static_cast<size_t>(n));
      return value;
    }
    if (errno != ERANGE) break;  // grew meanwhile: ask again
  }
  if (errno == ENODATA) setError(error, Error::posix(ENODATA, path));
  else setError(error, fileError(errno, path, false));
  return std::nullopt;
}

bool FileManager::removeExtendedAttribute(const std::string& name, const std::string& path, Error* error) {
  std::string full = "user." + name;
  if (::removexattr(path.c_str(), full.c_str()) != 0) {
    if (errno == ENODATA) return true;
    setError(error, fileError(errno, path, true, true));
    return false;
  }
  return true;
}

bool FileManager::setExcludedFromBackup(const std::string& path, bool excluded, Error* error) {
  if (excluded) {
    if (!setAttribute(path, kExcludedFromBackupAttribute, "1")) {
      setError(error, fileError(errno, path, true, true));
      return false;
    }
    return true;
  }
  if (::removexattr(path.c_str(), kExcludedFromBackupAttribute) != 0 && errno != ENODATA) {
    setError(error, fileError(errno, path, true, true));
    return false;
  }
  return true;
}

bool FileManager::isExcludedFromBackup(const std::string& path) const {
  return getAttribute(path, kExcludedFromBackupAttribute).value_or("") == "1";
}

std::string FileManager::currentDirectoryPath() const {
  char buffer[4096];
  return ::getcwd(buffer, sizeof buffer) ? buffer : "";
}

}  // namespace ns
