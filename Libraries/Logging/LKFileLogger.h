// LKFileLogger: appends each record's line to the current log file of a log
// file manager, and rolls to a new file by size, by age, and when the open
// file is deleted, moved or revoked from outside. A rolled file is marked
// archived and the manager is told (on the completion queue).
//
// All state lives on the logger's queue ("logkit.fileLogger"). Getters wait
// on the logging queue and then on the logger's queue, so they must not be
// called from either; setters and rollLogFile go the same way without
// waiting. File-system failures are written to the console and logging
// carries on; a record that finds no file is lost and the next one tries
// to create a file again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "Libraries/Logging/LKAbstractLogger.h"
#include "Libraries/Logging/LKLogFileInfo.h"
#include "Libraries/Logging/LKLogFileManager.h"
#include "Platform/Dispatch/FileWatcher.h"
#include "Platform/Dispatch/TimerSource.h"
#include "Platform/Foundation/FileHandle.h"

class LKBufferedProxy;

class LKFileLogger : public LKAbstractLogger {
 public:
  static constexpr double kDefaultRollingFrequency = 60 * 60 * 24;
  static constexpr uint64_t kDefaultMaximumFileSize = 1024 * 1024;

  // Always made shared: timers and the file watcher hold it weakly.
  // A null manager means a LKLogFileManagerDefault in the default
  // directory; a null completion queue the global default queue.
  static std::shared_ptr<LKFileLogger> create(std::shared_ptr<LKLogFileManager> logFileManager = nullptr,
                                              std::shared_ptr<dispatch::Queue> completionQueue = nullptr);
  ~LKFileLogger() override;

  std::string loggerName() override { return "logkit.fileLogger"; }
  const std::shared_ptr<LKLogFileManager>& logFileManager() const { return logFileManager_; }

  uint64_t maximumFileSize();
  // 0 disables rolling by size.
  void setMaximumFileSize(uint64_t bytes);
  double rollingFrequency();
  // Seconds; 0 or less disables rolling by age.
  void setRollingFrequency(double seconds);
  // The file being written; opens or creates one when none is.
  std::shared_ptr<LKLogFileInfo> currentLogFileInfo();

  // Plain properties; set them before the logger is in use.
  bool doNotReuseLogFiles() const { return doNotReuseLogFiles_; }
  void setDoNotReuseLogFiles(bool value) { doNotReuseLogFiles_ = value; }
  bool automaticallyAppendNewlineForCustomFormatters() const { return automaticallyAppendNewline_; }
  void setAutomaticallyAppendNewlineForCustomFormatters(bool value) { automaticallyAppendNewline_ = value; }

  void rollLogFile() { rollLogFileWithCompletionBlock(nullptr); }
  // Rolls now; `completion` then runs on the completion queue.
  void rollLogFileWithCompletionBlock(std::function<void()> completion);

  void logMessage(const LKLogMessage& message) override;
  // The lines of records that came together go to the file in one write
  // (or one per file when the batch rolls it), not one each.
  void logMessages(std::span<const LKLogMessage* const> messages) override;
  // Writes raw bytes; waits unless already on the logger's queue.
  void logData(const std::string& data);
  void flush() override;
  void willRemoveLogger() override;

  // A buffering wrapper around this logger, and back.
  std::shared_ptr<LKBufferedProxy> wrapWithBuffer();

  // Line bytes of a record: empty when there is nothing to write.
  std::string lt_dataForMessage(const LKLogMessage& message);
  // On the logger's queue.
  void lt_logData(const std::string& data);

 protected:
  LKFileLogger(std::shared_ptr<LKLogFileManager> logFileManager, std::shared_ptr<dispatch::Queue> completionQueue);

  // Hooks for subclasses, on the logger's queue.
  virtual void willLogMessage(LKLogFileInfo& info) { (void)info; }
  // By default checks the size.
  virtual void didLogMessage(LKLogFileInfo& info);
  virtual bool shouldArchiveRecentLogFileInfo(LKLogFileInfo& info) {
    (void)info;
    return false;
  }

 private:
  std::weak_ptr<LKFileLogger> weakSelf();
  void lt_flush();
  // A record's line, written at once or (`gather`) appended to
  // unwritten_; the hooks and the size check run for it either way.
  void lt_takeData(const std::string& data, bool gather);
  // Writes what gathered in unwritten_ to the open file.
  void lt_writeUnwritten();
  // One write of whole lines to `handle`, a line of its own after a write
  // that failed.
  void lt_writeLines(ns::FileHandle* handle, std::string_view bytes);
  std::shared_ptr<LKLogFileInfo> lt_currentLogFileInfo();
  bool lt_shouldUseLogFile(LKLogFileInfo& info, bool isResuming);
  bool lt_shouldLogFileBeArchived(LKLogFileInfo& info);
  ns::FileHandle* lt_currentLogFileHandle();
  void lt_maybeRollLogFileDueToSize();
  void lt_maybeRollLogFileDueToAge();
  void lt_scheduleTimerToRollLogFileDueToAge();
  void lt_monitorCurrentLogFileForExternalChanges();
  void lt_rollLogFileNow();
  void lt_closeFile();
  void notifyArchived(const std::string& path, bool wasRolled);

  std::shared_ptr<LKLogFileManager> logFileManager_;
  std::shared_ptr<LKLogFileInfo> currentLogFileInfo_;
  std::unique_ptr<ns::FileHandle> currentLogFileHandle_;
  uint64_t currentOffset_ = 0;  // the end of the open file
  // Lines for the open file not written yet, while a batch is handled;
  // written before the file is closed or the batch ends.
  std::string unwritten_;
  bool lastWriteFailed_ = false;  // the file may end in a record cut short
  std::shared_ptr<dispatch::FileWatcher> currentLogFileVnode_;
  double rollingFrequency_ = kDefaultRollingFrequency;
  std::shared_ptr<dispatch::TimerSource> rollingTimer_;
  uint64_t maximumFileSize_ = kDefaultMaximumFileSize;
  std::shared_ptr<dispatch::Queue> completionQueue_;
  bool doNotReuseLogFiles_ = false;
  bool automaticallyAppendNewline_ = true;
};
