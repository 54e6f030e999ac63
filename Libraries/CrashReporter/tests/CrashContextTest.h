// For tests that need the crash context: builds one for a report folder on
// the test's fresh device, the way set-up does (strings copied, `initialized`
// published last), and takes it down again after the test. Production never
// takes it down; tests must, so that each starts from nothing.
#pragma once

#include <unistd.h>

#include <memory>
#include <string>

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"

namespace dvcr_testing {

class CrashContextTest : public CrashReporterTest {
 protected:
  void TearDown() override { takeDownContext(); }

  std::string reportPath() const { return path("report"); }
  std::string reportFile(const std::string& name) const { return reportPath() + "/" + name; }

  // A ready context whose files live in reportPath().
  void buildContext() {
    ::mkdir(reportPath().c_str(), 0755);
    readonly_ = std::make_unique<DVCRReadOnlyContext>();
    writable_ = std::make_unique<DVCRWritableContext>();
    strings_.logPath = reportFile("sdk.log");
    strings_.reportPath = reportPath();
    strings_.marker = path("previously-crashed");
    readonly_->logPath = strings_.logPath.c_str();
    readonly_->reportPath = strings_.reportPath.c_str();
    readonly_->previouslyCrashedFileFullPath = strings_.marker.c_str();
    dvcrContext.writable = writable_.get();
    dvcrContext.readonly = readonly_.get();
    readonly_->initialized = true;
  }

  void takeDownContext() {
    dvcrContext.readonly = nullptr;
    dvcrContext.writable = nullptr;
    if (writable_ && writable_->internalLogging.logFd >= 0) ::close(writable_->internalLogging.logFd);
    readonly_.reset();
    writable_.reset();
  }

  std::string sdkLog() const { return readAll(reportFile("sdk.log")); }

  std::unique_ptr<DVCRReadOnlyContext> readonly_;
  std::unique_ptr<DVCRWritableContext> writable_;
  struct {
    std::string logPath, reportPath, marker;
  } strings_;
};

}  // namespace dvcr_testing
