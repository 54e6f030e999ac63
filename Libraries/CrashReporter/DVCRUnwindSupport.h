// The crash-safe utilities as the unwinder uses them: the internal log, and
// the safe read taking the integer addresses the unwinder computes with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRSafeRead.h"

inline bool DVCRUnwindReadMemory(uint64_t address, void* destination, size_t length) {
  return DVCRReadMemory(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), destination, length);
}
