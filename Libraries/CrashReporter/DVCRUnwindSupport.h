// What the unwinder needs from the crash-safe utilities: the internal log,
// with the calling function and line filled in, and the safe read of
// memory that may be unmapped.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRSafeRead.h"

#define DVCR_UNWIND_LOG(level, format, ...) \
  DVCRInternalLogWrite(level, format, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)

inline bool DVCRUnwindReadMemory(uint64_t address, void* destination, size_t length) {
  return DVCRReadMemory(reinterpret_cast<const void*>(address), destination, length);
}
