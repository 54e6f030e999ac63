#include "Libraries/EventTransport/ZTCORConsoleLogger.h"

#include <cstdio>
#include <mutex>

std::atomic<long> ZTCORConsoleLogThreshold{4};

namespace {

std::mutex& sinkMutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<void(const std::string&)>& sink() {
  static std::function<void(const std::string&)> current;
  return current;
}

}  // namespace

void ZTCORConsoleLogArgs(long code, long level, std::string_view format, std::span<const ns::FormatArg> args) {
  if (ZTCORConsoleLogThreshold.load(std::memory_order_relaxed) > level) return;
  // The caller's placeholders are expanded only after the prefix is joined
  // to its format, so a "%" in the prefix could never be read as one.
  std::string lineFormat = ns::format("%@[%@] ", "[ZeziruRadoVirazaruv]", ns::format("I-ZTCOR%06ld", code));
  std::string line = lineFormat + ns::formatArgs(format, args);
  std::lock_guard lock(sinkMutex());
  if (sink()) {
    sink()(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

void ZTCORConsoleLogSetSinkForTesting(std::function<void(const std::string&)> sink_) {
  std::lock_guard lock(sinkMutex());
  sink() = std::move(sink_);
}
