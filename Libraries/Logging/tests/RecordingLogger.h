// A logger for tests: keeps every record it gets, in order.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "Libraries/Logging/LKAbstractLogger.h"

class RecordingLogger : public LKAbstractLogger {
 public:
  void logMessage(const LKLogMessage& message) override {
    std::lock_guard lock(mutex_);
    records_.push_back(message);
  }
  void flush() override { ++flushes; }
  std::vector<LKLogMessage> records() {
    std::lock_guard lock(mutex_);
    return records_;
  }
  std::vector<std::string> lines() {
    std::vector<std::string> out;
    for (auto& r : records()) out.push_back(r.message());
    return out;
  }
  std::atomic<int> flushes{0};

 private:
  std::mutex mutex_;
  std::vector<LKLogMessage> records_;
};
