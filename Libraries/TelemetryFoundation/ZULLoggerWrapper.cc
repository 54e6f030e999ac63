#include "Libraries/TelemetryFoundation/ZULLoggerWrapper.h"

#include "Libraries/TelemetryFoundation/ZULLogger.h"

void ZULLoggerWrapper::logWithLevel(long level, std::string_view service, std::string_view code,
                                    std::string_view message, std::optional<std::span<const ns::FormatArg>> args) {
  ZULLoggerLogWithLevel(level, service, false, code, message, args);
}
