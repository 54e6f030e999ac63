// LKBufferedProxy: wraps a file logger and gathers its lines in memory,
// writing them in one piece once a buffer's worth has gathered (by default
// one block of the root file system), on flush, on removal and on release.
//
// Registered with the core in place of the file logger, it answers with the
// file logger's queue and name, so it always runs on the file logger's
// queue; everything but buffering is the file logger's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Libraries/Logging/LKFileLogger.h"
#include "Libraries/Logging/LKLog.h"

class LKBufferedProxy : public LKLogger {
 public:
  explicit LKBufferedProxy(std::shared_ptr<LKFileLogger> fileLogger);
  // Writes what is buffered (on the file logger's queue, not waiting).
  ~LKBufferedProxy() override;

  // The root file system's block size (4096 when unknown), and its optimal
  // transfer size (1 MiB when unknown), the most a buffer may hold.
  static uint64_t defaultBufferSize();
  static uint64_t maximumBufferSize();

  uint64_t maxBufferSizeBytes() const { return maxBufferSizeBytes_; }
  // Capped at maximumBufferSize().
  void setMaxBufferSizeBytes(uint64_t bytes);

  void logMessage(const LKLogMessage& message) override;
  // Records that came together are gathered first and written once a
  // buffer's worth is there (within the most a buffer may hold).
  void logMessages(std::span<const LKLogMessage* const> messages) override;
  void flush() override;
  void willRemoveLogger() override;
  void didAddLoggerInQueue(const std::shared_ptr<dispatch::Queue>& queue) override {
    fileLogger_->didAddLoggerInQueue(queue);
  }
  std::shared_ptr<LKLogFormatter> logFormatter() override { return fileLogger_->logFormatter(); }
  void setLogFormatter(std::shared_ptr<LKLogFormatter> formatter) override {
    fileLogger_->setLogFormatter(std::move(formatter));
  }
  std::shared_ptr<dispatch::Queue> loggerQueue() override { return fileLogger_->loggerQueue(); }
  std::string loggerName() override { return fileLogger_->loggerName(); }

  const std::shared_ptr<LKFileLogger>& unwrapFromBuffer() const { return fileLogger_; }

 private:
  void lt_sendBufferedDataToFileLogger();

  std::shared_ptr<LKFileLogger> fileLogger_;
  std::string buffer_;
  uint64_t maxBufferSizeBytes_;
};
