#include "Apps/quillbox/HostLogging.h"

#include "Libraries/Logging/LKLog.h"
#include "Libraries/Logging/LKOSLogger.h"
#include "Libraries/Logging/LKTTYLogger.h"

namespace quillbox {

void HostLogging::start(bool toStandardError) {
  LKLog::addLogger(LKOSLogger::sharedInstance());
  if (toStandardError) LKLog::addLogger(LKTTYLogger::sharedInstance());
}

void HostLogging::finish() { LKLog::flushLog(); }

}  // namespace quillbox
