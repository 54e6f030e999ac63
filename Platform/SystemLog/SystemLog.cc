#include "Platform/SystemLog/SystemLog.h"

#include <syslog.h>

#include <mutex>

namespace systemlog {

namespace {

std::mutex sinkMutex;
std::function<void(int, const std::string&)> testSink;

}  // namespace

std::shared_ptr<Log> Log::create(std::string subsystem, std::string category) {
  return std::shared_ptr<Log>(new Log(std::move(subsystem), std::move(category)));
}

const std::shared_ptr<Log>& Log::defaultLog() {
  static const std::shared_ptr<Log> log = create({}, {});
  return log;
}

int Log::priorityFor(LogType type) {
  switch (type) {
    case LogType::Error: return LOG_ERR;
    case LogType::Info: return LOG_INFO;
    case LogType::Debug: return LOG_DEBUG;
    case LogType::Fault: return LOG_CRIT;
    case LogType::Default: return LOG_NOTICE;
  }
  return LOG_NOTICE;
}

bool Log::isEnabled(LogType type) const {
  int mask = ::setlogmask(0);  // 0 reads the mask without changing it
  return (mask & LOG_MASK(priorityFor(type))) != 0;
}

void Log::write(LogType type, const std::string& text) const {
  std::string line = subsystem_.empty() && category_.empty() ? text : "[" + subsystem_ + ":" + category_ + "] " + text;
  {
    std::lock_guard lock(sinkMutex);
    if (testSink) {
      testSink(priorityFor(type), line);
      return;
    }
  }
  ::syslog(priorityFor(type), "%s", line.c_str());
}

void Log::setSinkForTesting(std::function<void(int, const std::string&)> sink) {
  std::lock_guard lock(sinkMutex);
  testSink = std::move(sink);
}

}  // namespace systemlog
