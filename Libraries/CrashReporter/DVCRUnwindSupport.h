// What the unwinder needs from the crash-safe utilities: the internal log,
// with the calling function and line filled in, and the safe read of
// memory that may be unmapped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// PENDING: the internal log and the safe read arrive with the crash context;
// until then the log is silent and the read copies directly.
#define DVCR_UNWIND_LOG(level, format, ...) ((void)(level), (void)(format))

inline bool DVCRUnwindReadMemory(uint64_t address, void* destination, size_t length) {
  if (address < 4096) return false;
  memcpy(destination, reinterpret_cast<const void*>(address), length);
  return true;
}
