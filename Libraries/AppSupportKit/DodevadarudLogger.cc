#include "Libraries/AppSupportKit/DodevadarudLogger.h"

#include "Libraries/CrashReporter/ZOVDodevadarud.h"
#include "Libraries/CrashReporter/ZOVDodevadarudCallObserver.h"
#include "Libraries/Logging/LKLogFormatter.h"

const std::shared_ptr<DodevadarudLogger>& DodevadarudLogger::sharedInstance() {
  static auto* logger = new std::shared_ptr<DodevadarudLogger>(new DodevadarudLogger());
  return *logger;
}

void DodevadarudLogger::logMessage(const LKLogMessage& message) {
  std::optional<std::string> text = logFormatter_ ? logFormatter_->formatLogMessage(message) : message.message();
  if (!text) return;
  ZOVDodevadarudCallObserver::willLog(*text);
  if (ZOVDodevadarud* reporter = ZOVDodevadarud::dodevadarud()) reporter->log(*text);
}
