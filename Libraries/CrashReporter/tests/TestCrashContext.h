// Builds the crash context for tests and their child processes the way
// set-up does: both halves and every string in the crash allocator's
// mapping, the live user-logging stores in the report folder with the given
// limits, the logging queue, and `initialized` published last. Production
// never takes the context down; tests must, so that each starts from nothing.
#pragma once

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <new>
#include <string>

#include "Libraries/CrashReporter/DVCRAllocator.h"
#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Platform/Dispatch/Queue.h"

namespace dvcr_testing {

// The settings' defaults.
struct UserLoggingLimits {
  uint32_t maxCustomKeys = 64;
  uint32_t logBufferSize = 64000;
  uint32_t maxCustomExceptionEvents = 8;
  bool collectLoggedExceptions = true;
};

inline void configureUserLoggingStores(DVCRReadOnlyContext* readonly, DVCRWritableContext* writable,
                                       const std::string& report, const UserLoggingLimits& limits) {
  auto file = [&](const char* name) { return DVCRDupString((report + "/" + name).c_str()); };
  DVCRUserLoggingReadOnlyContext& logging = readonly->logging;
  logging.userKVStorage = {file("user_incremental_kv.dvrecord"), file("user_compacted_kv.dvrecord"), 0,
                           limits.maxCustomKeys};
  logging.internalKVStorage = {file("internal_incremental_kv.dvrecord"), file("internal_compacted_kv.dvrecord"), 0, 32};
  logging.logStorage = {file("log_a.dvrecord"), file("log_b.dvrecord"), limits.logBufferSize, 0, true, nullptr};
  logging.errorStorage = {file("errors_a.dvrecord"), file("errors_b.dvrecord"), 0,
                          limits.collectLoggedExceptions ? limits.maxCustomExceptionEvents : 0, false,
                          &writable->logging.errorsCount};
  logging.customExceptionStorage = {file("custom_exception_a.dvrecord"), file("custom_exception_b.dvrecord"), 0,
                                    limits.maxCustomExceptionEvents, false, &writable->logging.customExceptionCount};
  DVCRUserLoggingInit(&readonly->logging, &writable->logging);
}

// The allocator, or null when it could not be made.
inline DVCRAllocator* buildTestCrashContext(const std::string& report, const std::string& marker,
                                            const UserLoggingLimits& limits,
                                            const std::function<void(DVCRReadOnlyContext*)>& configure) {
  ::mkdir(report.c_str(), 0755);
  DVCRAllocator* allocator = DVCRAllocatorCreate(kDVCRContextWritableSize, kDVCRContextReadOnlySize);
  if (allocator == nullptr) return nullptr;
  dvcrContext.allocator = allocator;
  auto* writable = new (DVCRAllocatorSafeAllocate(allocator, sizeof(DVCRWritableContext), kDVCRAllocatorWritable))
      DVCRWritableContext();
  auto* readonly = new (DVCRAllocatorSafeAllocate(allocator, sizeof(DVCRReadOnlyContext), kDVCRAllocatorReadOnly))
      DVCRReadOnlyContext();
  readonly->logPath = DVCRDupString((report + "/sdk.log").c_str());
  readonly->reportPath = DVCRDupString(report.c_str());
  readonly->previouslyCrashedFileFullPath = DVCRDupString(marker.c_str());
  dvcrContext.writable = writable;
  dvcrContext.readonly = readonly;
  dvcrContext.loggingQueue = dispatch::Queue::serial("com.zorori.dozaveve.dodevadarud.ios.logging");
  configureUserLoggingStores(readonly, writable, report, limits);
  if (configure) configure(readonly);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  readonly->initialized = true;
  return allocator;
}

// Waits for what the logging queue still holds (compactions, swaps).
inline void drainLoggingQueue() {
  if (dvcrContext.loggingQueue) dvcrContext.loggingQueue->sync([] {});
}

inline void takeDownTestCrashContext() {
  drainLoggingQueue();
  DVCRWritableContext* writable = dvcrContext.writable.load();
  DVCRAllocator* allocator = dvcrContext.allocator.load();
  dvcrContext.readonly = nullptr;
  dvcrContext.writable = nullptr;
  dvcrContext.allocator = nullptr;
  dvcrContext.loggingQueue.reset();
  if (writable != nullptr && writable->internalLogging.logFd >= 0) ::close(writable->internalLogging.logFd);
  if (allocator != nullptr) ::munmap(allocator->buffer, DVCRAllocatorMappingSize(allocator));
}

}  // namespace dvcr_testing
