// LKLoggerNode: one registration of a logger with the core: the logger, the
// level it was registered with and the queue it is always called on.
// Immutable; compared by identity.
#pragma once

#include <cstdint>
#include <memory>

#include "Libraries/Logging/LKLogger.h"
#include "Platform/Dispatch/Queue.h"

class LKLoggerNode {
 public:
  static std::shared_ptr<LKLoggerNode> nodeWithLogger(std::shared_ptr<LKLogger> logger,
                                                      std::shared_ptr<dispatch::Queue> loggerQueue,
                                                      uint64_t level) {
    return std::make_shared<LKLoggerNode>(std::move(logger), std::move(loggerQueue), level);
  }
  LKLoggerNode(std::shared_ptr<LKLogger> logger, std::shared_ptr<dispatch::Queue> loggerQueue, uint64_t level)
      : logger_(std::move(logger)), loggerQueue_(std::move(loggerQueue)), level_(level) {}

  const std::shared_ptr<LKLogger>& logger() const { return logger_; }
  const std::shared_ptr<dispatch::Queue>& loggerQueue() const { return loggerQueue_; }
  uint64_t level() const { return level_; }

 private:
  const std::shared_ptr<LKLogger> logger_;
  const std::shared_ptr<dispatch::Queue> loggerQueue_;
  const uint64_t level_;
};

// A logger and its level, as LKLog::allLoggersWithLevel reports them.
struct LKLoggerInformation {
  static LKLoggerInformation informationWithLogger(std::shared_ptr<LKLogger> logger, uint64_t level) {
    return LKLoggerInformation{std::move(logger), level};
  }
  std::shared_ptr<LKLogger> logger;
  uint64_t level = 0;
};
