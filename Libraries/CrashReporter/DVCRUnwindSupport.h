// The crash-safe utilities as the unwinder uses them: the internal log, and
// the safe read taking the integer addresses the unwinder computes with.
//
// While an unwind step runs, its context's read cache is the thread's
// current one and every read of the stack and the tables goes through it;
// outside a step (the call-frame readers on their own) reads go straight to
// the kernel. The pointer is initial-exec thread-local storage: reaching it
// allocates nothing, also inside a signal handler.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRSafeRead.h"

extern thread_local DVCRSafeReadCache* dvcrUnwindReadCache __attribute__((tls_model("initial-exec")));

// Makes `cache` the thread's current one for its lifetime, then puts back
// the one before (a crash handler may interrupt an unwind on this thread).
class DVCRUnwindReadScope {
 public:
  explicit DVCRUnwindReadScope(DVCRSafeReadCache* cache) : previous_(dvcrUnwindReadCache) { dvcrUnwindReadCache = cache; }
  ~DVCRUnwindReadScope() { dvcrUnwindReadCache = previous_; }
  DVCRUnwindReadScope(const DVCRUnwindReadScope&) = delete;
  DVCRUnwindReadScope& operator=(const DVCRUnwindReadScope&) = delete;

 private:
  DVCRSafeReadCache* previous_;
};

inline bool DVCRUnwindReadMemory(uint64_t address, void* destination, size_t length) {
  const void* source = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
  if (DVCRSafeReadCache* cache = dvcrUnwindReadCache) return DVCRSafeReadCacheRead(cache, source, destination, length);
  return DVCRReadMemory(source, destination, length);
}
