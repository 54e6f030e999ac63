// Memory and CPU facts of the machine and of this process, read from /proc
// and getrusage into fixed buffers: usable in a crash handler.
#pragma once

#include <cstdint>

namespace mach {

// The machine's memory in pages of `pageSize` bytes, from /proc/meminfo:
// Active, Inactive, Mlocked (memory that cannot be paged out, "wired") and
// MemFree.
struct VMStatistics {
  uint64_t activePages;
  uint64_t inactivePages;
  uint64_t wiredPages;
  uint64_t freePages;
  uint64_t pageSize;
};
bool hostVMStatistics(VMStatistics* statistics);

// This process: virtual and resident size in bytes (/proc/self/statm), CPU
// time spent in user and system mode (getrusage).
struct TaskBasicInfo {
  uint64_t virtualSize;
  uint64_t residentSize;
  uint64_t userSeconds;
  uint64_t userMicroseconds;
  uint64_t systemSeconds;
  uint64_t systemMicroseconds;
};
bool taskBasicInfo(TaskBasicInfo* info);

// Whether a tracer (a debugger) is attached: TracerPid in
// /proc/self/status. False also when the file cannot be read; `readable`
// (when given) tells the two apart.
bool debuggerAttached(bool* readable = nullptr);

}  // namespace mach
