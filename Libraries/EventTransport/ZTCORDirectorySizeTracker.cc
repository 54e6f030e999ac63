#include "Libraries/EventTransport/ZTCORDirectorySizeTracker.h"

#include "Platform/Foundation/FileManager.h"

namespace {

bool hasHiddenComponent(const std::string& relativePath) {
  if (relativePath.empty()) return false;
  if (relativePath[0] == '.') return true;
  return relativePath.find("/.") != std::string::npos;
}

}  // namespace

uint64_t ZTCORDirectorySizeTracker::directoryContentSize() {
  if (!cachedSizeBytes_) cachedSizeBytes_ = calculateDirectoryContentSize();
  return *cachedSizeBytes_;
}

bool ZTCORDirectorySizeTracker::contains(const std::string& path) const {
  return path.rfind(directoryPath_, 0) == 0;
}

void ZTCORDirectorySizeTracker::fileWasAddedAtPath(const std::string& path, uint64_t size) {
  if (!contains(path)) return;
  cachedSizeBytes_ = directoryContentSize() + size;
}

void ZTCORDirectorySizeTracker::fileWasRemovedAtPath(const std::string& path, uint64_t size) {
  if (!contains(path)) return;
  uint64_t current = directoryContentSize();
  cachedSizeBytes_ = current > size ? current - size : 0;
}

uint64_t ZTCORDirectorySizeTracker::calculateDirectoryContentSize() const {
  auto& files = ns::FileManager::defaultManager();
  auto subpaths = files.subpathsOfDirectory(directoryPath_);
  if (!subpaths) return 0;
  uint64_t total = 0;
  for (const auto& relative : *subpaths) {
    if (hasHiddenComponent(relative)) continue;
    auto attributes = files.attributesOfItem(directoryPath_ + "/" + relative);
    if (attributes && attributes->type == ns::FileType::Regular) total += attributes->size;
  }
  return total;
}

uint64_t ZTCORDirectorySizeTracker::fileSizeAtURL(const ns::URL& url) {
  auto attributes = ns::FileManager::defaultManager().attributesOfItem(url.path());
  return attributes ? attributes->size : 0;
}
