// ZULLoggerWrapper: the utilities logger's entry for object-oriented
// callers; never forces a line.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "Platform/Foundation/Format.h"

class ZULLoggerWrapper {
 public:
  ZULLoggerWrapper() = delete;

  static void logWithLevel(long level, std::string_view service, std::string_view code, std::string_view message,
                           std::optional<std::span<const ns::FormatArg>> args);
};
