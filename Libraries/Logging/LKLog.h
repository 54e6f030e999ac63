// LKLog: the single entry point through which the application logs.
//
// Today this is the least the callers need: a line is written to standard
// error, synchronously. The logging framework's core (loggers, queues,
// formatters) replaces the body behind the same signature.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/Foundation/Value.h"

// Log flags; a logger's level is a mask of them.
enum LKLogFlag : uint64_t {
  LKLogFlagError = 1,
  LKLogFlagWarning = 2,
  LKLogFlagInfo = 4,
  LKLogFlagDebug = 8,
  LKLogFlagVerbose = 16,
};

class LKLog {
 public:
  // One already formatted line. `file` and `function` must not be null;
  // `tag` may be null.
  static void log(bool asynchronous, uint64_t level, uint64_t flag, int64_t context, const char* file,
                  const char* function, uint64_t line, const ns::Value* tag, const std::string& message);
};
