// For tests that need the crash context: builds one for a report folder on
// the test's fresh device the way set-up does (both halves and every string
// in the crash allocator's mapping, `initialized` published last), and takes
// it down after the test. Production never takes it down; tests must, so
// that each starts from nothing.
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
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"

namespace dvcr_testing {

class CrashContextTest : public CrashReporterTest {
 protected:
  void TearDown() override { takeDownContext(); }

  std::string reportPath() const { return path("report"); }
  std::string reportFile(const std::string& name) const { return reportPath() + "/" + name; }
  const char* dup(const std::string& text) const { return DVCRDupString(text.c_str()); }

  // A ready context whose files live in reportPath(); `configure` fills
  // further parts before it is published.
  void buildContext(const std::function<void(DVCRReadOnlyContext*)>& configure = nullptr) {
    ::mkdir(reportPath().c_str(), 0755);
    allocator_ = DVCRAllocatorCreate(kDVCRContextWritableSize, kDVCRContextReadOnlySize);
    ASSERT_NE(allocator_, nullptr);
    dvcrContext.allocator = allocator_;
    writable_ = new (DVCRAllocatorSafeAllocate(allocator_, sizeof(DVCRWritableContext), kDVCRAllocatorWritable))
        DVCRWritableContext();
    readonly_ = new (DVCRAllocatorSafeAllocate(allocator_, sizeof(DVCRReadOnlyContext), kDVCRAllocatorReadOnly))
        DVCRReadOnlyContext();
    readonly_->logPath = dup(reportFile("sdk.log"));
    readonly_->reportPath = dup(reportPath());
    readonly_->previouslyCrashedFileFullPath = dup(path("previously-crashed"));
    dvcrContext.writable = writable_;
    dvcrContext.readonly = readonly_;
    if (configure) configure(readonly_);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    readonly_->initialized = true;
  }

  void takeDownContext() {
    dvcrContext.readonly = nullptr;
    dvcrContext.writable = nullptr;
    dvcrContext.allocator = nullptr;
    if (writable_ != nullptr && writable_->internalLogging.logFd >= 0) ::close(writable_->internalLogging.logFd);
    if (allocator_ != nullptr) ::munmap(allocator_->buffer, DVCRAllocatorMappingSize(allocator_));
    allocator_ = nullptr;
    readonly_ = nullptr;
    writable_ = nullptr;
  }

  std::string sdkLog() const { return readAll(reportFile("sdk.log")); }

  DVCRAllocator* allocator_ = nullptr;
  DVCRReadOnlyContext* readonly_ = nullptr;
  DVCRWritableContext* writable_ = nullptr;
};

}  // namespace dvcr_testing
