// The logger that hands every line, formatted by its formatter (the bare
// message text without one), to the crash reporter's user log, so that a
// crash or non-fatal report carries the recent log. One shared instance;
// the launch adds it to the logging core with every level let through.
#pragma once

#include <memory>

#include "Libraries/Logging/LKAbstractLogger.h"

class DodevadarudLogger : public LKAbstractLogger {
 public:
  static const std::shared_ptr<DodevadarudLogger>& sharedInstance();

  // On the logger's queue.
  void logMessage(const LKLogMessage& message) override;
  std::string loggerName() override { return "DodevadarudLogger"; }

 private:
  DodevadarudLogger() = default;
};
