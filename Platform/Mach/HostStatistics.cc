#include "Platform/Mach/HostStatistics.h"

#include <sys/resource.h>
#include <unistd.h>

#include "Platform/Mach/detail/ProcFile.h"

namespace mach {

bool hostVMStatistics(VMStatistics* statistics) {
  char text[8192];
  if (detail::readProcFile("/proc/meminfo", text, sizeof text) <= 0) return false;
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pageSize <= 0) return false;
  uint64_t active, inactive, wired, free;
  if (!detail::findKeyedNumber(text, "Active:", &active) || !detail::findKeyedNumber(text, "Inactive:", &inactive) ||
      !detail::findKeyedNumber(text, "Mlocked:", &wired) || !detail::findKeyedNumber(text, "MemFree:", &free))
    return false;
  // meminfo counts kibibytes.
  uint64_t perPage = static_cast<uint64_t>(pageSize) / 1024;
  *statistics = VMStatistics{active / perPage, inactive / perPage, wired / perPage, free / perPage,
                             static_cast<uint64_t>(pageSize)};
  return true;
}

bool taskBasicInfo(TaskBasicInfo* info) {
  char text[256];
  if (detail::readProcFile("/proc/self/statm", text, sizeof text) <= 0) return false;
  const char* at = text;
  uint64_t sizePages, residentPages;
  if (!detail::parseUnsigned(&at, &sizePages) || !detail::parseUnsigned(&at, &residentPages)) return false;
  rusage usage;
  if (getrusage(RUSAGE_SELF, &usage) != 0) return false;
  auto pageSize = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  *info = TaskBasicInfo{sizePages * pageSize,
                        residentPages * pageSize,
                        static_cast<uint64_t>(usage.ru_utime.tv_sec),
                        static_cast<uint64_t>(usage.ru_utime.tv_usec),
                        static_cast<uint64_t>(usage.ru_stime.tv_sec),
                        static_cast<uint64_t>(usage.ru_stime.tv_usec)};
  return true;
}

bool debuggerAttached(bool* readable) {
  char text[8192];
  uint64_t tracer = 0;
  bool ok = detail::readProcFile("/proc/self/status", text, sizeof text) > 0 &&
            detail::findKeyedNumber(text, "TracerPid:", &tracer);
  if (readable != nullptr) *readable = ok;
  return ok && tracer != 0;
}

}  // namespace mach
