#include "Apps/quillbox/HostLogging.h"

#include "Libraries/Logging/LKLog.h"
#include "Libraries/Logging/LKOSLogger.h"
#include "Libraries/Logging/LKTTYLogger.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"

namespace quillbox {

void HostLogging::start(bool toStandardError) {
  LKLog::addLogger(LKOSLogger::sharedInstance());
  if (toStandardError) {
    LKLog::addLogger(LKTTYLogger::sharedInstance());
    // The telemetry's own lines (a refused registration, a bad app ID) go
    // through the utilities logger, not the logging framework.
    ZULLoggerEnableStandardError();
  }
}

void HostLogging::finish() { LKLog::flushLog(); }

}  // namespace quillbox
