// LKOSLogger: writes each record's line to the system log under a subsystem
// and category: errors at the error type, warnings and information at the
// info type, the rest at the debug type (skipped when the type is off).
// Records that the capture brought in from the system log are not written
// back.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/Logging/LKAbstractLogger.h"
#include "Platform/SystemLog/SystemLog.h"

class LKOSLogger : public LKAbstractLogger {
 public:
  static const std::shared_ptr<LKOSLogger>& sharedInstance();
  static std::shared_ptr<LKOSLogger> create(std::optional<std::string> subsystem = std::nullopt,
                                            std::optional<std::string> category = std::nullopt);

  std::string loggerName() override { return "logkit.osLogger"; }
  // Made on first use: the subsystem's and category's log when both are
  // set, else the default log.
  std::shared_ptr<systemlog::Log> logger();
  void setLogger(std::shared_ptr<systemlog::Log> log);

  void logMessage(const LKLogMessage& message) override;

 private:
  LKOSLogger(std::optional<std::string> subsystem, std::optional<std::string> category)
      : subsystem_(std::move(subsystem)), category_(std::move(category)) {}
  std::optional<std::string> subsystem_;
  std::optional<std::string> category_;
  std::mutex logMutex_;
  std::shared_ptr<systemlog::Log> log_;
};
