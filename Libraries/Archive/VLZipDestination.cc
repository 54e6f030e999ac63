#include "Libraries/Archive/VLZipDestination.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

namespace {

std::optional<std::string> realPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return std::nullopt;
  std::string out(resolved);
  ::free(resolved);
  return out;
}

}  // namespace

bool VLZipDestination::open(const std::string& root, int* err) {
  root_ = root;
  std::error_code ec;
  std::filesystem::create_directories(root, ec);
  if (ec) {
    *err = ec.value();
    return false;
  }
  auto resolved = realPath(root);
  if (!resolved) {
    *err = errno;
    return false;
  }
  realRoot_ = *resolved;
  return true;
}

std::string VLZipDestination::pathFor(const std::vector<std::string>& components) const {
  std::string path = root_;
  for (const auto& c : components) path += "/" + c;
  return path;
}

bool VLZipDestination::isInside(const std::string& real) const {
  if (real == realRoot_) return true;
  std::string prefix = realRoot_ == "/" ? "/" : realRoot_ + "/";
  return real.compare(0, prefix.size(), prefix) == 0;
}

VLZipDestination::Outcome VLZipDestination::makeDirectories(const std::vector<std::string>& components, int* err,
                                                            std::vector<std::string>* created) {
  std::string path = root_;
  for (const auto& component : components) {
    path += "/" + component;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) {
        *err = errno;
        return Outcome::Failed;
      }
      if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        *err = errno;
        return Outcome::Failed;
      }
      if (created) created->push_back(path);
      if (::lstat(path.c_str(), &st) != 0) {
        *err = errno;
        return Outcome::Failed;
      }
    }
    if (S_ISDIR(st.st_mode)) continue;
    if (!S_ISLNK(st.st_mode)) {
      *err = ENOTDIR;
      return Outcome::Failed;
    }
    // A link may stand for a directory only when it leads to one inside.
    auto resolved = realPath(path);
    if (!resolved) {
      *err = errno;
      return Outcome::Failed;
    }
    if (!isInside(*resolved)) return Outcome::Unsafe;
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      *err = ENOTDIR;
      return Outcome::Failed;
    }
  }
  return Outcome::Ok;
}

VLZipDestination::Outcome VLZipDestination::resolveParent(const std::vector<std::string>& components,
                                                           std::string* resolved, int* err) const {
  std::vector<std::string> parent(components.begin(), components.end() - (components.empty() ? 0 : 1));
  auto real = realPath(pathFor(parent));
  if (!real) {
    // A name too long or a parent that could not be made: nothing leads out.
    *err = errno;
    return Outcome::Failed;
  }
  if (!isInside(*real)) return Outcome::Unsafe;
  *resolved = std::move(*real);
  return Outcome::Ok;
}

VLZipDestination::Outcome VLZipDestination::openFile(const std::vector<std::string>& components, int* fd, int* err) {
  if (components.empty()) {
    *err = EISDIR;
    return Outcome::Failed;
  }
  std::string parent;
  if (Outcome resolved = resolveParent(components, &parent, err); resolved != Outcome::Ok) return resolved;
  const std::string path = pathFor(components);
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::unlink(path.c_str()) != 0) {
    *err = errno;
    return Outcome::Failed;
  }
  *fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (*fd < 0) {
    *err = errno;
    return Outcome::Failed;
  }
  return Outcome::Ok;
}

VLZipDestination::Outcome VLZipDestination::checkLink(const std::vector<std::string>& components,
                                                      const std::string& target, int* err) const {
  if (target.empty() || target.front() == '/' || target.find('\0') != std::string::npos) return Outcome::Unsafe;
  if (components.empty()) return Outcome::Unsafe;
  // The link's directory as the kernel will see it.
  std::string resolved;
  if (Outcome parent = resolveParent(components, &resolved, err); parent != Outcome::Ok) return parent;
  size_t depth = 0;
  for (char c : resolved.substr(realRoot_.size()))
    if (c == '/') ++depth;

  bool descended = false;
  size_t start = 0;
  while (start <= target.size()) {
    size_t end = target.find('/', start);
    if (end == std::string::npos) end = target.size();
    std::string segment = target.substr(start, end - start);
    if (segment == "..") {
      // ".." after a name could climb out through a link to a directory.
      if (descended || depth == 0) return Outcome::Unsafe;
      --depth;
    } else if (!segment.empty() && segment != ".") {
      descended = true;
    }
    start = end + 1;
  }
  return Outcome::Ok;
}
