// Where the log functions of programs write: a level (2 verbose, 3 debug,
// 4 information, 5 warning, 6 error), the message, up to three context
// texts, and whether the line is silent (recorded, not printed) or
// monitored (recorded for the health monitor).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class MSRPLoggerDelegate {
 public:
  virtual ~MSRPLoggerDelegate() = default;
  virtual void logWithLevel(int64_t level, const std::string& message, const std::vector<std::string>& context,
                            bool silent, bool monitored) = 0;
};
