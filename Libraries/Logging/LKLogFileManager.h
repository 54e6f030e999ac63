// LKLogFileManager: what the file logger asks of whoever names, lists,
// creates and deletes its log files.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Logging/LKLogFileInfo.h"
#include "Platform/Foundation/Error.h"

class LKLogFileManager {
 public:
  virtual ~LKLogFileManager() = default;

  // 0: no limit by count.
  virtual uint64_t maximumNumberOfLogFiles() = 0;
  virtual void setMaximumNumberOfLogFiles(uint64_t count) = 0;
  // Bytes; 0: no quota.
  virtual uint64_t logFilesDiskQuota() = 0;
  virtual void setLogFilesDiskQuota(uint64_t bytes) = 0;

  virtual std::string logsDirectory() = 0;
  virtual std::vector<std::string> unsortedLogFilePaths() = 0;
  virtual std::vector<std::string> unsortedLogFileNames() = 0;
  virtual std::vector<std::shared_ptr<LKLogFileInfo>> unsortedLogFileInfos() = 0;
  // Newest first.
  virtual std::vector<std::string> sortedLogFilePaths() = 0;
  virtual std::vector<std::string> sortedLogFileNames() = 0;
  virtual std::vector<std::shared_ptr<LKLogFileInfo>> sortedLogFileInfos() = 0;

  // The path of a new, empty log file, or none with *error.
  virtual std::optional<std::string> createNewLogFileWithError(ns::Error* error) = 0;

  // Told (on the file logger's completion queue) that a file was archived,
  // either rolled after use or set aside unused.
  virtual void didArchiveLogFile(const std::string& path, bool wasRolled) {
    (void)path;
    (void)wasRolled;
  }
};
