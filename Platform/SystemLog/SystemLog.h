// The system log: lines written through syslog(3) under a subsystem and a
// category ("[subsystem:category] text"), at a type that maps onto syslog's
// priorities: error LOG_ERR, info LOG_INFO, debug LOG_DEBUG, default
// LOG_NOTICE, fault LOG_CRIT. A type is enabled when the process's syslog
// mask lets its priority through.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace systemlog {

enum class LogType { Default, Info, Debug, Error, Fault };

class Log {
 public:
  // A log for `subsystem` and `category`; the default log has neither.
  static std::shared_ptr<Log> create(std::string subsystem, std::string category);
  static const std::shared_ptr<Log>& defaultLog();

  static int priorityFor(LogType type);
  bool isEnabled(LogType type) const;
  void write(LogType type, const std::string& text) const;

  const std::string& subsystem() const { return subsystem_; }
  const std::string& category() const { return category_; }

  // For tests: receives (priority, line) instead of syslog; null restores.
  static void setSinkForTesting(std::function<void(int, const std::string&)> sink);

 private:
  Log(std::string subsystem, std::string category)
      : subsystem_(std::move(subsystem)), category_(std::move(category)) {}
  std::string subsystem_;
  std::string category_;
};

}  // namespace systemlog
