#include "Libraries/Logging/LKLog.h"

#include <cstdio>
#include <mutex>

void LKLog::log(bool, uint64_t, uint64_t, int64_t, const char*, const char*, uint64_t, const ns::Value*,
                const std::string& message) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::fprintf(stderr, "%s\n", message.c_str());
}
