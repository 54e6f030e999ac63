// LKLogFileInfo: one log file: its path, the attributes read from the file
// system (cached on first use) and its archived flag, kept in the file
// itself as the extended attribute "logkit.log.archived" = 0x01.
//
// Not shared between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/FileManager.h"

class LKLogFileInfo {
 public:
  static constexpr const char* kArchivedAttributeName = "logkit.log.archived";

  // Null for an empty path.
  static std::shared_ptr<LKLogFileInfo> logFileWithPath(const std::string& path);
  explicit LKLogFileInfo(std::string filePath) : filePath_(std::move(filePath)) {}

  const std::string& filePath() const { return filePath_; }
  const std::string& fileName();
  // Absent (and not cached) when the file cannot be read; the console says why.
  const std::optional<ns::FileAttributes>& fileAttributes();
  std::optional<ns::Date> creationDate();
  std::optional<ns::Date> modificationDate();
  uint64_t fileSize();
  // Seconds since the creation date.
  double age();
  bool isSymlink();

  bool isArchived();
  void setIsArchived(bool archived);

  // Forgets the cached name, attributes and dates (the size stays).
  void reset();
  // Moves the file to `newName` in its directory, replacing what is there.
  void renameFile(const std::string& newName);

  // Newest first; a record with a date before one without.
  static bool reverseCompareByCreationDate(LKLogFileInfo& a, LKLogFileInfo& b);
  static bool reverseCompareByModificationDate(LKLogFileInfo& a, LKLogFileInfo& b);

  bool operator==(const LKLogFileInfo& other) const { return filePath_ == other.filePath_; }
  size_t hash() const;
  std::string description();

 private:
  std::string filePath_;
  std::optional<std::string> fileName_;
  std::optional<ns::FileAttributes> fileAttributes_;
  std::optional<ns::Date> creationDate_;
  std::optional<ns::Date> modificationDate_;
  uint64_t fileSize_ = 0;
};
