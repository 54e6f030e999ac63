// The crash reporter's entry point as the rest of the system calls it.
//
// Today it keeps what is recorded in memory for the current launch (tests
// read it back); the crash reporter's report folders and upload replace the
// bodies behind the same signatures.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/ZOVExceptionModel.h"
#include "Platform/Foundation/Error.h"

class ZOVDodevadarud {
 public:
  static ZOVDodevadarud& dodevadarud();

  // Records a non-fatal error of the current launch.
  void recordError(const ns::Error& error);
  // Records a non-fatal exception of the current launch.
  void recordExceptionModel(const ZOVExceptionModel& model);
  // Adds a line to the launch's user log, which keeps the newest lines
  // within kUserLogLimit bytes (every log line of the app comes here).
  void log(const std::string& message);
  static constexpr size_t kUserLogLimit = 64 * 1024;

  // What this launch recorded so far.
  std::vector<ns::Error> recordedErrors() const;
  std::vector<ZOVExceptionModel> recordedExceptions() const;
  std::vector<std::string> userLog() const;
  void clearRecords();

 private:
  ZOVDodevadarud() = default;
  mutable std::mutex mutex_;
  std::vector<ns::Error> errors_;
  std::vector<ZOVExceptionModel> exceptions_;
  std::deque<std::string> userLog_;
  size_t userLogBytes_ = 0;
};
