#include "Libraries/Logging/LKOSLogger.h"

#include "Libraries/Logging/LKASLLogCapture.h"

const std::shared_ptr<LKOSLogger>& LKOSLogger::sharedInstance() {
  static const std::shared_ptr<LKOSLogger> instance = create();
  return instance;
}

std::shared_ptr<LKOSLogger> LKOSLogger::create(std::optional<std::string> subsystem,
                                               std::optional<std::string> category) {
  return std::shared_ptr<LKOSLogger>(new LKOSLogger(std::move(subsystem), std::move(category)));
}

std::shared_ptr<systemlog::Log> LKOSLogger::logger() {
  std::lock_guard lock(logMutex_);
  if (!log_) {
    log_ = subsystem_ && category_ ? systemlog::Log::create(*subsystem_, *category_) : systemlog::Log::defaultLog();
  }
  return log_;
}

void LKOSLogger::setLogger(std::shared_ptr<systemlog::Log> log) {
  std::lock_guard lock(logMutex_);
  log_ = std::move(log);
}

void LKOSLogger::logMessage(const LKLogMessage& message) {
  if (message.fileName() == LKASLLogCapture::kCaptureFileName) return;
  std::optional<std::string> line = logFormatter_ ? logFormatter_->formatLogMessage(message) : message.message();
  if (!line) return;
  systemlog::LogType type = systemlog::LogType::Debug;
  if (message.flag() == LKLogFlagError) {
    type = systemlog::LogType::Error;
  } else if (message.flag() == LKLogFlagWarning || message.flag() == LKLogFlagInfo) {
    type = systemlog::LogType::Info;
  }
  auto log = logger();
  if (log->isEnabled(type)) log->write(type, *line);
}
