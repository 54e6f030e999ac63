// LKConsole: the system console of the logging framework: where its own
// failures are written (standard error), never through the loggers.
#pragma once

#include <string>

#include "Platform/Foundation/Format.h"

void LKConsoleWrite(const std::string& line);

template <class... Args>
void LKConsoleLog(const char* format, const Args&... args) {
  LKConsoleWrite(ns::format(format, args...));
}
