#include "Libraries/CrashReporter/ZOVDodevadarud.h"

ZOVDodevadarud& ZOVDodevadarud::dodevadarud() {
  static ZOVDodevadarud instance;
  return instance;
}

void ZOVDodevadarud::recordError(const ns::Error& error) {
  std::lock_guard lock(mutex_);
  errors_.push_back(error);
}

void ZOVDodevadarud::recordExceptionModel(const ZOVExceptionModel& model) {
  std::lock_guard lock(mutex_);
  exceptions_.push_back(model);
}

void ZOVDodevadarud::log(const std::string& message) {
  std::lock_guard lock(mutex_);
  userLog_.push_back(message);
  userLogBytes_ += message.size();
  while (userLogBytes_ > kUserLogLimit && userLog_.size() > 1) {
    userLogBytes_ -= userLog_.front().size();
    userLog_.pop_front();
  }
}

std::vector<ns::Error> ZOVDodevadarud::recordedErrors() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

std::vector<ZOVExceptionModel> ZOVDodevadarud::recordedExceptions() const {
  std::lock_guard lock(mutex_);
  return exceptions_;
}

std::vector<std::string> ZOVDodevadarud::userLog() const {
  std::lock_guard lock(mutex_);
  return std::vector<std::string>(userLog_.begin(), userLog_.end());
}

void ZOVDodevadarud::clearRecords() {
  std::lock_guard lock(mutex_);
  errors_.clear();
  exceptions_.clear();
  userLog_.clear();
  userLogBytes_ = 0;
}
