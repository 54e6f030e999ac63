#include "Libraries/EventTransport/Sessions/ZOVSESLog.h"

#include "Libraries/TelemetryCore/ZOVLogger.h"

void ZOVSESLog(long level, std::string_view message) {
  ZOVLoggerWrapper::logWithLevel(level, kZOVSESLogService, kZOVSESLogMessageCode, message);
}
