#include "Libraries/TelemetryFoundation/ZULLogger.h"

#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Libraries/TelemetryFoundation/testing/ZULLoggerTesting.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Value.h"
#include "Platform/SystemLog/LegacyLogStore.h"

namespace {

constexpr unsigned kDefaultFilterMask = 63;  // levels 0 to 5

unsigned maskUpTo(long level) { return (2u << level) - 1; }

// The system-log client: its filter mask and outputs, changed only on the
// logging queue (atomics all the same, so that tests may reset them).
struct Client {
  std::atomic<unsigned> filterMask{kDefaultFilterMask};
  std::atomic<bool> echoStandardError{false};  // the client's own option
  std::atomic<bool> standardErrorAdded{false};

  // The mask is the client's own filter: a line the caller let through
  // (forced, or with forced debug) still passes it only at a level it holds.
  void write(long level, const std::string& line) const {
    bool inMask = level >= 0 && level < 32 && (filterMask.load() & (1u << level)) != 0;
    if (!inMask) return;
    systemlog::LegacyLogStore::shared().send({{"Facility", kZULLoggerFacility},
                                              {"Level", std::to_string(level)},
                                              {"Message", line}});
    if (echoStandardError.load() || standardErrorAdded.load()) {
      std::string out = line + "\n";
      for (size_t done = 0; done < out.size();) {
        ssize_t n = ::write(2, out.data() + done, out.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
    }
  }
};

struct LoggerState {
  Client client;
  std::shared_ptr<dispatch::Queue> queue;  // set once by the set-up
  std::atomic<long> level{ZULLoggerLevelNotice};
  std::atomic<bool> forcedDebug{false};
  std::mutex versionMutex;
  std::string version;
};

LoggerState& state() {
  static LoggerState* s = new LoggerState();  // lives for the whole process
  return *s;
}

void createClient() {
  LoggerState& s = state();
  // Old systems echoed the client to standard error by themselves.
  s.client.echoStandardError = ns::integerValueOfString(ZULAppEnvironmentUtil::systemVersion()) < 10;
  s.level = ZULLoggerLevelNotice;
  s.client.filterMask = kDefaultFilterMask;
  s.queue = dispatch::Queue::serial("ZULLoggingClientQueue");
  s.queue->setTarget(dispatch::Queue::global(dispatch::Priority::Background));
}

}  // namespace

void ZULLoggerInitializeOnce() {
  static std::once_flag once;
  std::call_once(once, createClient);
}

// Through the logging queue, like every client call: lines logged before
// this call are not written to standard error, lines after it are.
void ZULLoggerEnableStandardError() {
  ZULLoggerInitializeOnce();
  LoggerState& s = state();
  s.queue->async([&s] { s.client.standardErrorAdded = true; });
}

void ZULLoggerForceDebugOutsideAppStore() {
  ZULLoggerInitializeOnce();
  if (ZULAppEnvironmentUtil::isFromAppStore()) return;
  state().forcedDebug = true;
  ZULLoggerSetLevel(ZULLoggerLevelDebug);
}

void ZULLoggerSetLevel(long level) {
  if (level < ZULLoggerLevelMin || level > ZULLoggerLevelMax) {
    ZULLoggerLogError("[ZULLogger]", false, "I-COR000023", "Invalid logger level, %ld", level);
    return;
  }
  ZULLoggerInitializeOnce();
  // A store install never raises the level above warning through here.
  if (level >= ZULLoggerLevelNotice && ZULAppEnvironmentUtil::isFromAppStore()) return;
  LoggerState& s = state();
  s.level = level;
  s.queue->async([&s, level] { s.client.filterMask = maskUpTo(level); });
}

bool ZULLoggerIsLoggable(long level) {
  ZULLoggerInitializeOnce();
  LoggerState& s = state();
  return s.forcedDebug.load() || level <= s.level.load();
}

void ZULLoggerSetVersion(std::string_view version) {
  LoggerState& s = state();
  std::lock_guard lock(s.versionMutex);
  s.version = std::string(version);
}

void ZULLoggerLogWithLevel(long level, std::string_view service, bool force, std::string_view messageCode,
                           std::string_view format, std::optional<std::span<const ns::FormatArg>> arguments) {
  ZULLoggerInitializeOnce();
  LoggerState& s = state();
  bool pastFilter = force || s.forcedDebug.load();
  if (level > s.level.load() && !pastFilter) return;
  std::string message = arguments ? ns::formatArgs(format, *arguments) : std::string(format);
  std::string version;
  {
    std::lock_guard lock(s.versionMutex);
    version = s.version;
  }
  // The line is an argument of the format, never a format itself.
  std::string line = ns::format("%@ - %@[%@] %@", version, service, messageCode, message);
  s.queue->async([&s, level, line = std::move(line)] { s.client.write(level, line); });
}

void ZULLoggerWaitForWritesForTesting() {
  ZULLoggerInitializeOnce();
  state().queue->sync([] {});
}

void ZULLoggerResetForTesting() {
  ZULLoggerWaitForWritesForTesting();
  LoggerState& s = state();
  s.level = ZULLoggerLevelNotice;
  s.forcedDebug = false;
  s.client.filterMask = kDefaultFilterMask;
  s.client.standardErrorAdded = false;
  ZULLoggerSetVersion("");
}
