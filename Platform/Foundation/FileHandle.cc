#include "Platform/Foundation/FileHandle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "Platform/Foundation/FileManager.h"

namespace ns {

std::unique_ptr<FileHandle> FileHandle::open(const std::string& path, int flags, bool forWriting, Error* error) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) {
    setError(error, fileError(errno, path, forWriting && errno != ENOENT));
    return nullptr;
  }
  return std::unique_ptr<FileHandle>(new FileHandle(fd, path));
}

std::unique_ptr<FileHandle> FileHandle::forReading(const std::string& path, Error* error) {
  return open(path, O_RDONLY, false, error);
}
std::unique_ptr<FileHandle> FileHandle::forWriting(const std::string& path, Error* error) {
  return open(path, O_WRONLY, true, error);
}
std::unique_ptr<FileHandle> FileHandle::forUpdating(const std::string& path, Error* error) {
  return open(path, O_RDWR, true, error);
}
std::unique_ptr<FileHandle> FileHandle::withFileDescriptor(int fd, std::string path) {
  return std::unique_ptr<FileHandle>(new FileHandle(fd, std::move(path)));
}

FileHandle::~FileHandle() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileHandle::fail(int err, Error* error) const {
  setError(error, Error::posix(err, path_));
  return false;
}

std::optional<Data> FileHandle::readUpToCount(size_t count, Error* error) {
  std::lock_guard lock(mutex_);
  Data data(count);
  size_t filled = 0;
  while (filled < count) {
    ssize_t n = ::read(fd_, data.data() + filled, count - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      fail(errno, error);
      return std::nullopt;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  data.resize(filled);
  return data;
}

std::optional<Data> FileHandle::readToEnd(Error* error) {
  std::lock_guard lock(mutex_);
  Data data;
  uint8_t buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      fail(errno, error);
      return std::nullopt;
    }
    if (n == 0) break;
    data.insert(data.end(), buffer, buffer + n);
  }
  return data;
}

bool FileHandle::write(const Data& data, Error* error) {
  return write(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), error);
}

bool FileHandle::write(std::string_view text, Error* error) {
  std::lock_guard lock(mutex_);
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errno, error);
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

std::optional<uint64_t> FileHandle::seekToEnd(Error* error) {
  std::lock_guard lock(mutex_);
  off_t at = ::lseek(fd_, 0, SEEK_END);
  if (at < 0) {
    fail(errno, error);
    return std::nullopt;
  }
  return static_cast<uint64_t>(at);
}

bool FileHandle::seek(uint64_t offset, Error* error) {
  std::lock_guard lock(mutex_);
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return fail(errno, error);
  return true;
}

std::optional<uint64_t> FileHandle::offset(Error* error) {
  std::lock_guard lock(mutex_);
  off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0) {
    fail(errno, error);
    return std::nullopt;
  }
  return static_cast<uint64_t>(at);
}

bool FileHandle::truncate(uint64_t size, Error* error) {
  std::lock_guard lock(mutex_);
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return fail(errno, error);
  if (::lseek(fd_, static_cast<off_t>(size), SEEK_SET) < 0) return fail(errno, error);
  return true;
}

bool FileHandle::synchronize(Error* error) {
  std::lock_guard lock(mutex_);
  if (::fsync(fd_) != 0) return fail(errno, error);
  return true;
}

bool FileHandle::close(Error* error) {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return fail(EBADF, error);
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return fail(errno, error);
  return true;
}

}  // namespace ns
