#include "Libraries/EventTransport/ZTCORApplication.h"

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"

std::shared_ptr<ZTCORApplication> ZTCORApplication::sharedApplication() {
  static const auto application = std::make_shared<ZTCORApplication>();
  return application;
}

uint64_t ZTCORApplication::beginBackgroundTaskWithName(const std::string&, std::function<void()>) {
  return 0;  // no platform application object yet
}

void ZTCORApplication::endBackgroundTask(uint64_t identifier) {
  if (identifier == 0) return;
  ZTCORLogDebug("Ending background task with ID:%ld was successful", static_cast<long>(identifier));
}
