#include "Libraries/Logging/LKASLLogger.h"

#include <unistd.h>

#include <atomic>

#include "Libraries/Logging/LKASLLogCapture.h"
#include "Platform/SystemLog/LegacyLogStore.h"

namespace {
std::atomic<bool> sharedExists{false};
}

const std::shared_ptr<LKASLLogger>& LKASLLogger::sharedInstance() {
  static const std::shared_ptr<LKASLLogger> instance = [] {
    auto logger = std::shared_ptr<LKASLLogger>(new LKASLLogger());
    sharedExists = true;
    return logger;
  }();
  return instance;
}

std::shared_ptr<LKASLLogger> LKASLLogger::create() {
  if (sharedExists) return nullptr;
  return std::shared_ptr<LKASLLogger>(new LKASLLogger());
}

void LKASLLogger::logMessage(const LKLogMessage& message) {
  if (message.fileName() == LKASLLogCapture::kCaptureFileName) return;
  std::optional<std::string> line = logFormatter_ ? logFormatter_->formatLogMessage(message) : message.message();
  if (!line) return;
  const char* level = "5";
  switch (message.flag()) {
    case LKLogFlagError: level = "2"; break;
    case LKLogFlagWarning: level = "3"; break;
    case LKLogFlagInfo: level = "4"; break;
    default: break;
  }
  systemlog::LegacyMessage m;
  m["Level"] = level;
  m["Message"] = *line;
  m["ReadUID"] = std::to_string(static_cast<int>(::geteuid()));
  m["LKLog"] = "1";
  m["Facility"] = kFacility;
  systemlog::LegacyLogStore::shared().send(std::move(m));
}
