// The number of bytes under one directory, computed by a walk only when
// unknown and otherwise kept up to date by the store as it adds and removes
// files. Hidden names (the leftovers of an interrupted atomic write) and
// entries that cannot be read are not counted. Not thread-safe: the store
// uses it only on its queue.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Foundation/URL.h"

class ZTCORDirectorySizeTracker {
 public:
  explicit ZTCORDirectorySizeTracker(std::string directoryPath) : directoryPath_(std::move(directoryPath)) {}

  const std::string& directoryPath() const { return directoryPath_; }
  const std::optional<uint64_t>& cachedSizeBytes() const { return cachedSizeBytes_; }

  // The cached size, walking the directory first when nothing is cached.
  uint64_t directoryContentSize();
  // Only for paths inside the directory.
  void fileWasAddedAtPath(const std::string& path, uint64_t size);
  void fileWasRemovedAtPath(const std::string& path, uint64_t size);
  void resetCachedSize() { cachedSizeBytes_.reset(); }
  uint64_t calculateDirectoryContentSize() const;
  static uint64_t fileSizeAtURL(const ns::URL& url);

 private:
  bool contains(const std::string& path) const;

  std::string directoryPath_;
  std::optional<uint64_t> cachedSizeBytes_;
};
