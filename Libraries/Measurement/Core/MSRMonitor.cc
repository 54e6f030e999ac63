#include "Libraries/Measurement/Core/MSRMonitor.h"

#include <mutex>

#include "Libraries/Measurement/Core/testing/MSRMonitorTesting.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Foundation/Format.h"

namespace {

constexpr const char* kLogTag = "<DudUziroruvoza>";

struct Observer {
  std::mutex mutex;
  std::function<void(const MSRMonitorMessage&)> function;
};

Observer& observer() {
  static Observer* instance = new Observer();
  return *instance;
}

// The utilities logger's level a monitor level prints at.
long loggerLevelFromLogLevel(int64_t level) {
  if (level >= 0 && level <= 2) return ZULLoggerLevelError;
  if (level >= 3 && level <= 5) return ZULLoggerLevelWarning;
  if (level == 6) return ZULLoggerLevelNotice;
  if (level == 7 || level == 8) return ZULLoggerLevelDebug;
  return ZULLoggerLevelWarning;
}

// Levels whose messages only feed the health sample.
bool isSilentLevel(int64_t level) { return level == 2 || level == 5 || level > 8; }

std::string lineFor(const std::optional<std::string>& message, const std::vector<MSRLogContext>& contexts) {
  std::string line = !message ? "(Message was nil)" : message->empty() ? "(Message was empty)" : *message;
  if (contexts.empty()) return line;
  line += ": ";
  for (size_t i = 0; i < contexts.size(); ++i) {
    if (i > 0) line += ", ";
    line += contexts[i].text();
  }
  return line;
}

}  // namespace

std::string MSRLogContext::text() const {
  if (const ns::Error* e = error()) return e->description();
  const ns::Value& v = *value();
  return v.isNull() ? "(nil)" : v.description();
}

void MSRMonitor::logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message) {
  logWithLevel(level, messageCode, message, std::vector<MSRLogContext>{});
}

void MSRMonitor::logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                              const MSRLogContext& context) {
  logWithLevel(level, messageCode, message, std::vector<MSRLogContext>{context});
}

void MSRMonitor::logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                              const MSRLogContext& context1, const MSRLogContext& context2) {
  logWithLevel(level, messageCode, message, std::vector<MSRLogContext>{context1, context2});
}

void MSRMonitor::logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                              const MSRLogContext& context1, const MSRLogContext& context2,
                              const MSRLogContext& context3) {
  logWithLevel(level, messageCode, message, std::vector<MSRLogContext>{context1, context2, context3});
}

void MSRMonitor::logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                              const std::vector<MSRLogContext>& contexts) {
  {
    std::lock_guard lock(observer().mutex);
    if (observer().function) observer().function(MSRMonitorMessage{level, messageCode, message, contexts});
  }
  // Verbose logging is off, so level 8 and above never print.
  if (level >= 8 || isSilentLevel(level)) return;
  long loggerLevel = loggerLevelFromLogLevel(level);
  if (!ZULLoggerIsLoggable(loggerLevel)) return;
  // The line goes on as a format without arguments, which the logger
  // prints as it stands: each "%" shows twice.
  std::string text;
  for (char c : lineFor(message, contexts)) {
    text += c;
    if (c == '%') text += '%';
  }
  ZULLoggerLogWithLevel(loggerLevel, kLogTag, level == 7, ns::format("I-ACS%06ld", static_cast<long>(messageCode)),
                        text, std::nullopt);
}

bool MSRMonitor::isDebugModeEnabled() const { return false; }

std::optional<std::string> MSRMonitor::logLevelDescriptionFromLogLevel(int64_t level) {
  if (level >= 0 && level <= 2) return "ERROR";
  if (level >= 3 && level <= 5) return "WARNING";
  if (level == 6) return "NOTICE";
  if (level == 7) return "DEBUG";
  return std::nullopt;
}

void MSRMonitorSetObserverForTesting(std::function<void(const MSRMonitorMessage&)> function) {
  std::lock_guard lock(observer().mutex);
  observer().function = std::move(function);
}
