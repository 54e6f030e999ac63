#include "Platform/Foundation/FileWrapper.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ns {

namespace {

constexpr int kFileNoSuchFileError = 4;
constexpr int kFileReadUnknownError = 256;
constexpr int kFileReadNoPermissionError = 257;
constexpr int kFileReadNoSuchFileError = 260;
constexpr int kFileWriteUnknownError = 512;
constexpr int kFileWriteNoPermissionError = 513;

Error cocoaError(int code, int err, const std::string& path) {
  Dictionary info{{kFilePathErrorKey, Value(path)},
                  {kUnderlyingErrorKey, Value(Error::posix(err, path).description())}};
  return Error(kCocoaErrorDomain, code, std::move(info));
}

Error readError(int err, const std::string& path) {
  int code = err == ENOENT || err == ENOTDIR ? kFileReadNoSuchFileError
             : err == EACCES || err == EPERM ? kFileReadNoPermissionError
                                             : kFileReadUnknownError;
  return cocoaError(code, err, path);
}

Error writeError(int err, const std::string& path) {
  int code = err == EACCES || err == EPERM || err == EROFS ? kFileWriteNoPermissionError
             : err == ENOENT                               ? kFileNoSuchFileError
                                                           : kFileWriteUnknownError;
  return cocoaError(code, err, path);
}

bool readFile(const std::string& path, Data& out, int& err) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    err = errno;
    return false;
  }
  uint8_t buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    out.insert(out.end(), buffer, buffer + n);
  }
  ::close(fd);
  return true;
}

bool writeFile(const std::string& path, const Data& data, int& err) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    err = errno;
    return false;
  }
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    err = errno;
    return false;
  }
  return true;
}

// Writes the tree rooted at `wrapper` at `path`, which must not exist.
bool writeTree(const FileWrapper& wrapper, const std::string& path, int& err, std::string& at) {
  at = path;
  if (wrapper.isRegularFile()) return writeFile(path, wrapper.regularFileContents(), err);
  if (::mkdir(path.c_str(), 0755) != 0) {
    err = errno;
    return false;
  }
  for (const auto& [name, child] : wrapper.fileWrappers()) {
    if (!writeTree(child, path + "/" + name, err, at)) return false;
  }
  return true;
}

void removeTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::string uniqueName(const std::map<std::string, FileWrapper>& taken, const std::string& name) {
  if (!taken.contains(name)) return name;
  std::string stem = name, extension;
  if (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
    stem = name.substr(0, dot);
    extension = name.substr(dot);
  }
  for (int n = 2;; ++n) {
    std::string candidate = stem + " " + std::to_string(n) + extension;
    if (!taken.contains(candidate)) return candidate;
  }
}

}  // namespace

FileWrapper FileWrapper::regularFile(Data contents, std::string preferredFilename) {
  FileWrapper wrapper;
  wrapper.contents_ = std::move(contents);
  wrapper.preferredFilename_ = std::move(preferredFilename);
  return wrapper;
}

FileWrapper FileWrapper::directory(std::map<std::string, FileWrapper> children,
                                   std::string preferredFilename) {
  FileWrapper wrapper;
  wrapper.directory_ = true;
  wrapper.children_ = std::move(children);
  for (auto& [name, child] : wrapper.children_) {
    child.filename_ = name;
    if (child.preferredFilename_.empty()) child.preferredFilename_ = name;
  }
  wrapper.preferredFilename_ = std::move(preferredFilename);
  return wrapper;
}

std::optional<FileWrapper> FileWrapper::read(const std::string& path, Error* error) {
  // Links are never followed: links between the folders of a package would
  // have it read once per path through them, exponentially many times.
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    setError(error, readError(errno, path));
    return std::nullopt;
  }
  if (S_ISLNK(st.st_mode)) {
    setError(error, readError(ELOOP, path));
    return std::nullopt;
  }
  std::string name = std::filesystem::path(path).filename().string();
  if (name.empty()) name = std::filesystem::path(path).parent_path().filename().string();
  FileWrapper wrapper;
  wrapper.filename_ = wrapper.preferredFilename_ = name;
  if (!S_ISDIR(st.st_mode)) {
    int err = 0;
    if (!readFile(path, wrapper.contents_, err)) {
      setError(error, readError(err, path));
      return std::nullopt;
    }
    return wrapper;
  }
  wrapper.directory_ = true;
  DIR* dir = ::opendir(path.c_str());
  if (!dir) {
    setError(error, readError(errno, path));
    return std::nullopt;
  }
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    std::string child = entry->d_name;
    if (child != "." && child != "..") names.push_back(std::move(child));
  }
  ::closedir(dir);
  for (const std::string& child : names) {
    struct stat childStat;
    if (::lstat((path + "/" + child).c_str(), &childStat) == 0 && S_ISLNK(childStat.st_mode)) continue;
    auto read = FileWrapper::read(path + "/" + child, error);
    if (!read) return std::nullopt;
    wrapper.children_.emplace(child, std::move(*read));
  }
  return wrapper;
}

std::string FileWrapper::addFileWrapper(FileWrapper child) {
  std::string name = uniqueName(children_, child.preferredFilename_.empty()
                                               ? std::string("Untitled")
                                               : child.preferredFilename_);
  child.filename_ = name;
  children_.emplace(name, std::move(child));
  return name;
}

std::string FileWrapper::addRegularFile(Data contents, const std::string& preferredFilename) {
  return addFileWrapper(regularFile(std::move(contents), preferredFilename));
}

bool FileWrapper::write(const std::string& path, uint32_t options, const std::string&,
                        Error* error) {
  namespace fs = std::filesystem;
  std::string target = fs::path(path).lexically_normal().string();
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  int err = 0;
  std::string failedAt;
  if (!(options & kFileWrapperWritingAtomic)) {
    removeTree(target);
    if (!writeTree(*this, target, err, failedAt)) {
      setError(error, writeError(err, failedAt));
      return false;
    }
  } else {
    // Build beside the target under a hidden name, then swap it in whole.
    static std::atomic<unsigned> counter{0};
    fs::path parent = fs::path(target).parent_path();
    std::string staging =
        (parent / ("." + fs::path(target).filename().string() + ".writing-" +
                   std::to_string(::getpid()) + "-" + std::to_string(counter++)))
            .string();
    removeTree(staging);
    if (!writeTree(*this, staging, err, failedAt)) {
      removeTree(staging);
      setError(error, writeError(err, failedAt));
      return false;
    }
    if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
      if (errno != EEXIST ||
          ::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
        err = errno;
        removeTree(staging);
        setError(error, writeError(err, target));
        return false;
      }
      removeTree(staging);  // now holds what was replaced
    }
    // Make the rename itself durable.
    if (int fd = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY); fd >= 0) {
      ::fsync(fd);
      ::close(fd);
    }
  }
  if (options & kFileWrapperWritingWithNameUpdating)
    filename_ = fs::path(target).filename().string();
  return true;
}

}  // namespace ns
