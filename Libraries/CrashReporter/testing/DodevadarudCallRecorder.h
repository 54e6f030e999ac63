// For tests: keeps every call announced to the crash reporter, in order,
// from the moment it is installed until it is destroyed. shared() is one
// installed as the test program starts and kept for its whole run.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/ZOVDodevadarudCallObserver.h"

namespace dvcr_testing {

class DodevadarudCallRecorder {
 public:
  DodevadarudCallRecorder() : records_(std::make_shared<Records>()) { ZOVDodevadarudCallObserver::install(records_); }
  ~DodevadarudCallRecorder() { ZOVDodevadarudCallObserver::install(nullptr); }
  DodevadarudCallRecorder(const DodevadarudCallRecorder&) = delete;
  DodevadarudCallRecorder& operator=(const DodevadarudCallRecorder&) = delete;

  static DodevadarudCallRecorder& shared() {
    static auto* recorder = new DodevadarudCallRecorder();
    return *recorder;
  }

  std::vector<ns::Error> recordedErrors() const { return records_->copy(&Records::errors); }
  std::vector<ZOVExceptionModel> recordedExceptions() const { return records_->copy(&Records::exceptions); }
  std::vector<std::string> userLog() const { return records_->copy(&Records::lines); }
  void clearRecords() {
    std::lock_guard lock(records_->mutex);
    records_->errors.clear();
    records_->exceptions.clear();
    records_->lines.clear();
  }

 private:
  struct Records : ZOVDodevadarudCallObserver {
    void recordError(const ns::Error& error) override {
      std::lock_guard lock(mutex);
      errors.push_back(error);
    }
    void recordExceptionModel(const ZOVExceptionModel& model) override {
      std::lock_guard lock(mutex);
      exceptions.push_back(model);
    }
    void log(const std::string& message) override {
      std::lock_guard lock(mutex);
      lines.push_back(message);
    }
    template <class T>
    std::vector<T> copy(std::vector<T> Records::*member) {
      std::lock_guard lock(mutex);
      return this->*member;
    }
    std::mutex mutex;
    std::vector<ns::Error> errors;
    std::vector<ZOVExceptionModel> exceptions;
    std::vector<std::string> lines;
  };
  std::shared_ptr<Records> records_;
};

// Installs the shared recorder before any test runs.
inline const bool kDodevadarudCallRecorderInstalled = (DodevadarudCallRecorder::shared(), true);

}  // namespace dvcr_testing
