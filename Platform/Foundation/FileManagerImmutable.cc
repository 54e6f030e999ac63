// The immutable flag through the file-flag ioctls, which need a descriptor:
// the item is opened read-only (allowed on an immutable file) and without
// blocking, so a FIFO cannot hold the caller.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "Platform/Foundation/FileManager.h"

namespace ns {
namespace {

// errno values meaning the file system keeps no such flags.
bool flagsUnsupported(int err) { return err == ENOTTY || err == EOPNOTSUPP || err == EINVAL || err == ENOSYS; }

class Descriptor {
 public:
  explicit Descriptor(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::optional<bool> FileManager::isImmutableItem(const std::string& path, Error* error) const {
  Descriptor item(path);
  if (item.fd() < 0) {
    setError(error, fileError(errno, path, false, true));
    return std::nullopt;
  }
  int flags = 0;
  if (::ioctl(item.fd(), FS_IOC_GETFLAGS, &flags) != 0) {
    if (flagsUnsupported(errno)) return false;
    setError(error, fileError(errno, path, false, true));
    return std::nullopt;
  }
  return (flags & FS_IMMUTABLE_FL) != 0;
}

bool FileManager::setImmutable(bool immutable, const std::string& path, Error* error) {
  Descriptor item(path);
  if (item.fd() < 0) {
    setError(error, fileError(errno, path, true, true));
    return false;
  }
  int flags = 0;
  if (::ioctl(item.fd(), FS_IOC_GETFLAGS, &flags) != 0) {
    if (!immutable && flagsUnsupported(errno)) return true;
    setError(error, fileError(errno, path, true, true));
    return false;
  }
  int changed = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  if (changed == flags) return true;
  if (::ioctl(item.fd(), FS_IOC_SETFLAGS, &changed) != 0) {
    setError(error, fileError(errno, path, true, true));
    return false;
  }
  return true;
}

}  // namespace ns
