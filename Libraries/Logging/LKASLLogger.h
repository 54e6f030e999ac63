// LKASLLogger: sends each record's line to the older system-log service
// with its level ("2" error, "3" warning, "4" info, "5" the rest), the
// reader's user identifier and the mark "LKLog" = "1" by which the capture
// knows the framework's own messages. Records the capture brought in are
// not sent back.
#pragma once

#include <memory>

#include "Libraries/Logging/LKAbstractLogger.h"

class LKASLLogger : public LKAbstractLogger {
 public:
  static constexpr const char* kFacility = "com.apple.console";

  static const std::shared_ptr<LKASLLogger>& sharedInstance();
  // Null once the shared instance exists.
  static std::shared_ptr<LKASLLogger> create();

  std::string loggerName() override { return "logkit.aslLogger"; }
  void logMessage(const LKLogMessage& message) override;

 private:
  LKASLLogger() = default;
};
