// LKAbstractLogger: the base of every logger. It owns the logger's serial
// queue (labelled with loggerName()) and its formatter, which is only ever
// touched on that queue.
//
// The formatter setter passes through the logging queue, so records queued
// before a change are formatted with the old formatter and records queued
// after it with the new one. The getter waits on the logging queue and then
// on the logger's queue: never call it from either (inside logMessage, read
// logFormatter_ directly).
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "Libraries/Logging/LKLogger.h"
#include "Platform/Dispatch/Queue.h"

class LKAbstractLogger : public LKLogger, public std::enable_shared_from_this<LKAbstractLogger> {
 public:
  ~LKAbstractLogger() override = default;

  void logMessage(const LKLogMessage& message) override { (void)message; }
  std::shared_ptr<LKLogFormatter> logFormatter() override;
  void setLogFormatter(std::shared_ptr<LKLogFormatter> formatter) override;

  // The logger's queue, made on first use with loggerName() as its label.
  std::shared_ptr<dispatch::Queue> loggerQueue() override;
  // The name of the logger's class.
  std::string loggerName() override;

  bool isOnGlobalLoggingQueue() const;
  bool isOnInternalLoggerQueue();

 protected:
  LKAbstractLogger() = default;
  // For subclasses that bring their own queue; before first use only.
  void setLoggerQueue(std::shared_ptr<dispatch::Queue> queue);
  // Runs `block` on the logger's queue: at once when already there, else
  // through the logging queue, without waiting.
  void performOnLoggerQueue(std::function<void()> block);
  // Runs `block` on the logger's queue by way of the logging queue and
  // waits; the answer is consistent with every record already queued.
  void performOnLoggerQueueAndWait(const std::function<void()>& block);

  std::shared_ptr<LKLogFormatter> logFormatter_;

 private:
  std::once_flag queueOnce_;
  std::shared_ptr<dispatch::Queue> loggerQueue_;
};
