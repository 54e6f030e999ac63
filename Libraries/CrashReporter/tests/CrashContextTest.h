// For tests that need the crash context: one built for a report folder on
// the test's fresh device (TestCrashContext.h), taken down after the test.
#pragma once

#include <functional>
#include <string>

#include "Libraries/CrashReporter/tests/CrashReporterTest.h"
#include "Libraries/CrashReporter/tests/TestCrashContext.h"

namespace dvcr_testing {

class CrashContextTest : public CrashReporterTest {
 protected:
  void TearDown() override { takeDownContext(); }

  std::string reportPath() const { return path("report"); }
  std::string reportFile(const std::string& name) const { return reportPath() + "/" + name; }
  const char* dup(const std::string& text) const { return DVCRDupString(text.c_str()); }

  // A ready context whose files live in reportPath(); `configure` fills
  // further parts before it is published.
  void buildContext(const std::function<void(DVCRReadOnlyContext*)>& configure = nullptr,
                    const UserLoggingLimits& limits = {}) {
    allocator_ = buildTestCrashContext(reportPath(), path("previously-crashed"), limits, configure);
    ASSERT_NE(allocator_, nullptr);
    readonly_ = dvcrContext.readonly;
    writable_ = dvcrContext.writable;
  }

  void takeDownContext() {
    takeDownTestCrashContext();
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
