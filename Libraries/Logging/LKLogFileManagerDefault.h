// LKLogFileManagerDefault: log files in one directory, named
// "<application name> <yyyy-MM-dd--HH-mm-ss-SSS>.log" (UTC), listed newest
// first by the date in the name, and pruned to a number of files and a disk
// quota (the newest file, while unarchived, is never pruned: it is the one
// being written).
//
// A new file is created exclusively: a name already taken moves on to the
// next name ("<name> 2.log", "<name> 3.log", ...), so no existing file is
// ever replaced.
//
// No lock: the file logger uses it on its queue, and pruning also runs on
// the global default queue after each new file and each change of count or
// quota.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/Logging/LKLogFileManager.h"
#include "Platform/Foundation/DateFormatter.h"

class LKLogFileManagerDefault : public LKLogFileManager,
                                public std::enable_shared_from_this<LKLogFileManagerDefault> {
 public:
  static constexpr uint64_t kDefaultMaximumNumberOfLogFiles = 5;
  static constexpr uint64_t kDefaultLogFilesDiskQuota = 20 * 1024 * 1024;

  // An empty directory means defaultLogsDirectory(). A protection level is
  // kept only when it is one of the platform's four.
  explicit LKLogFileManagerDefault(const std::string& logsDirectory = {},
                                   const std::optional<std::string>& defaultFileProtectionLevel = std::nullopt);

  uint64_t maximumNumberOfLogFiles() override { return maximumNumberOfLogFiles_; }
  void setMaximumNumberOfLogFiles(uint64_t count) override;
  uint64_t logFilesDiskQuota() override { return logFilesDiskQuota_; }
  void setLogFilesDiskQuota(uint64_t bytes) override;

  // The caches directory's "Logs".
  static std::string defaultLogsDirectory();
  // Created (with intermediates) every time it is asked for.
  std::string logsDirectory() override;
  // The main bundle's identifier, else the process name, else ""; fixed
  // per process.
  static const std::string& applicationName();

  virtual std::string newLogFileName();
  // Written at the top of each new file; none by default.
  virtual std::optional<std::string> logFileHeader() { return std::nullopt; }
  std::optional<std::string> logFileHeaderData();
  virtual bool isLogFile(const std::string& fileName);
  ns::DateFormatter& logFileDateFormatter() { return fileDateFormatter_; }

  std::vector<std::string> unsortedLogFilePaths() override;
  std::vector<std::string> unsortedLogFileNames() override;
  std::vector<std::shared_ptr<LKLogFileInfo>> unsortedLogFileInfos() override;
  std::vector<std::string> sortedLogFilePaths() override;
  std::vector<std::string> sortedLogFileNames() override;
  std::vector<std::shared_ptr<LKLogFileInfo>> sortedLogFileInfos() override;

  std::optional<std::string> logFileProtection() const;
  // At least one non-empty entry under "UIBackgroundModes" in the main
  // bundle's information property list.
  static bool applicationDeclaresBackgroundModes();
  std::optional<std::string> createNewLogFileWithError(ns::Error* error) override;
  void deleteOldLogFiles();

 private:
  void deleteOldFilesLater();

  ns::DateFormatter fileDateFormatter_;
  // Read by pruning on another thread.
  std::atomic<uint64_t> maximumNumberOfLogFiles_{kDefaultMaximumNumberOfLogFiles};
  std::atomic<uint64_t> logFilesDiskQuota_{kDefaultLogFilesDiskQuota};
  std::string logsDirectory_;
  std::optional<std::string> defaultFileProtectionLevel_;
};
