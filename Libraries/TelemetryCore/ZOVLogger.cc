#include "Libraries/TelemetryCore/ZOVLogger.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "Libraries/TelemetryCore/ZOVCoreVersion.h"
#include "Libraries/TelemetryCore/testing/ZOVLoggerTesting.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/Foundation/UserDefaults.h"

namespace {

// A once-only guard that tests may re-arm: the flag is read without the
// lock on the fast path; first callers serialize on the lock, and every one
// but the first finds the set-up done when it gets it.
struct SetUpGuard {
  std::mutex mutex;
  std::atomic<bool> done{false};
  int runs = 0;
};

SetUpGuard& guard() {
  static SetUpGuard* g = new SetUpGuard();  // lives for the whole process
  return *g;
}

void setUp() {
  ZULLoggerSetVersion(ZOVCoreVersionString());
  std::vector<std::string> arguments = ns::ProcessInfo::processInfo().arguments();
  auto given = [&arguments](const char* argument) {
    return std::find(arguments.begin(), arguments.end(), argument) != arguments.end();
  };
  bool standardError = given(kZOVLoggerForceStandardErrorArgument);

  auto defaults = ns::UserDefaults::standardUserDefaults();
  bool debugStored = defaults->boolForKey(kZOVPersistedDebugModeKey);
  bool debugForced = false;
  if (given(kZOVDebugDisabledArgument)) {
    defaults->removeObjectForKey(kZOVPersistedDebugModeKey);
  } else if (given(kZOVDebugEnabledArgument) || debugStored) {
    defaults->setBool(true, kZOVPersistedDebugModeKey);
    debugForced = true;
  }

  ZULLoggerInitializeOnce();
  if (standardError) ZULLoggerEnableStandardError();
  if (debugForced) ZULLoggerForceDebugOutsideAppStore();
}

}  // namespace

void ZOVLoggerInitializeFromLaunch() {
  SetUpGuard& g = guard();
  if (g.done.load(std::memory_order_acquire)) return;
  std::lock_guard lock(g.mutex);
  if (g.done.load(std::memory_order_relaxed)) return;
  setUp();
  ++g.runs;
  g.done.store(true, std::memory_order_release);
}

void ZOVLogWithLevel(long level, std::string_view service, std::string_view messageCode, std::string_view format,
                     std::optional<std::span<const ns::FormatArg>> arguments) {
  ZOVLoggerInitializeFromLaunch();
  ZULLoggerLogWithLevel(level, service, false, messageCode, format, arguments);
}

void ZOVLoggerApplyLevel(long level) {
  ZOVLoggerInitializeFromLaunch();
  ZULLoggerSetLevel(level);
}

void ZOVLoggerWrapper::logWithLevel(long level, std::string_view service, std::string_view code,
                                    std::string_view message, std::optional<std::span<const ns::FormatArg>> args) {
  ZOVLogWithLevel(level, service, code, message, args);
}

void ZOVLoggerWrapper::logWithLevel(long level, std::string_view service, std::string_view code,
                                    std::string_view message) {
  ZOVLogWithLevel(level, service, code, message, std::nullopt);
}

void ZOVLoggerResetForTesting() {
  SetUpGuard& g = guard();
  std::lock_guard lock(g.mutex);
  g.done = false;
  g.runs = 0;
}

int ZOVLoggerSetUpCountForTesting() {
  SetUpGuard& g = guard();
  std::lock_guard lock(g.mutex);
  return g.runs;
}
