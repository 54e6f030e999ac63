#include "Platform/Foundation/ExtendedAttributes.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <vector>

namespace ns {

namespace {

std::atomic<bool> sideRecordsOnly{false};

bool refused(int err) { return err == ENOTSUP || err == EOPNOTSUPP || err == EPERM; }

void setErr(int* out, int err) {
  if (out) *out = err;
}

bool fileExists(const std::string& path, int* err) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    setErr(err, errno);
    return false;
  }
  return true;
}

std::optional<std::string> readSide(const std::string& path, const std::string& name, int* err) {
  if (!fileExists(path, err)) return std::nullopt;
  int fd = ::open(ExtendedAttributes::sideRecordPath(path, name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    setErr(err, errno == ENOENT ? ENODATA : errno);
    return std::nullopt;
  }
  std::string value;
  char buffer[256];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) value.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return value;
}

bool writeSide(const std::string& path, const std::string& name, std::string_view value, int* err) {
  if (!fileExists(path, err)) return false;
  std::string side = ExtendedAttributes::sideRecordPath(path, name);
  int fd = ::open(side.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    setErr(err, errno);
    return false;
  }
  bool ok = ::write(fd, value.data(), value.size()) == static_cast<ssize_t>(value.size());
  if (!ok) setErr(err, errno);
  ::close(fd);
  return ok;
}

bool removeSide(const std::string& path, const std::string& name, int* err) {
  if (!fileExists(path, err)) return false;
  if (::unlink(ExtendedAttributes::sideRecordPath(path, name).c_str()) != 0) {
    setErr(err, errno == ENOENT ? ENODATA : errno);
    return false;
  }
  return true;
}

}  // namespace

std::string ExtendedAttributes::sideRecordPath(const std::string& path, const std::string& name) {
  size_t slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  return dir + "." + file + "." + name + ".xattr";
}

void ExtendedAttributes::setUseSideRecordsOnly(bool only) { sideRecordsOnly = only; }

std::optional<std::string> ExtendedAttributes::get(const std::string& path, const std::string& name, int* err) {
  if (sideRecordsOnly) return readSide(path, name, err);
  std::string full = "user." + name;
  for (;;) {
    ssize_t size = ::getxattr(path.c_str(), full.c_str(), nullptr, 0);
    if (size < 0) break;
    std::vector<char> value(static_cast<size_t>(size));
    ssize_t n = ::getxattr(path.c_str(), full.c_str(), value.data(), value.size());
    if (n >= 0) return std::string(value.data(), static_cast<size_t>(n));
    if (errno != ERANGE) break;  // grew meanwhile: ask again
  }
  int e = errno;
  if (refused(e)) return readSide(path, name, err);
  setErr(err, e);
  return std::nullopt;
}

bool ExtendedAttributes::set(const std::string& path, const std::string& name, std::string_view value, int* err) {
  if (sideRecordsOnly) return writeSide(path, name, value, err);
  std::string full = "user." + name;
  if (::setxattr(path.c_str(), full.c_str(), value.data(), value.size(), 0) == 0) return true;
  int e = errno;
  if (refused(e)) return writeSide(path, name, value, err);
  setErr(err, e);
  return false;
}

bool ExtendedAttributes::remove(const std::string& path, const std::string& name, int* err) {
  if (sideRecordsOnly) return removeSide(path, name, err);
  std::string full = "user." + name;
  if (::removexattr(path.c_str(), full.c_str()) == 0) return true;
  int e = errno;
  if (refused(e)) return removeSide(path, name, err);
  setErr(err, e);
  return false;
}

void ExtendedAttributes::removeSideRecord(const std::string& path, const std::string& name) {
  ::unlink(sideRecordPath(path, name).c_str());
}

}  // namespace ns
