// What the unwinder needs from the crash-safe utilities: the internal log
// and the safe read of memory that may be unmapped, taking the addresses
// the unwinder computes with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// PENDING: the internal log and the safe read arrive with the crash context;
// until then the log is silent and the read copies directly.
#define DVCRSDKLogDebug(format, ...) ((void)0)
#define DVCRSDKLogInfo(format, ...) ((void)0)
#define DVCRSDKLogWarn(format, ...) ((void)0)
#define DVCRSDKLogError(format, ...) ((void)0)

inline bool DVCRUnwindReadMemory(uint64_t address, void* destination, size_t length) {
  if (address < 4096) return false;
  memcpy(destination, reinterpret_cast<const void*>(address), length);
  return true;
}
