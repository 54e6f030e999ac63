// "sdk.log": the allocation-free formatter, its gate on the context and
// the level threshold, and its one-time open under contention.
#include <dirent.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"

namespace dvcr_testing {
namespace {

class InternalLogTest : public CrashContextTest {};

int openDescriptorCount() {
  int count = 0;
  DIR* dir = ::opendir("/proc/self/fd");
  while (dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
  ::closedir(dir);
  return count;
}

TEST_F(InternalLogTest, NothingIsWrittenBeforeTheContextExists) {
  DVCRInternalLogWrite(kDVCRInternalLogLevelError, "early %d\n", 1);
  buildContext();
  EXPECT_FALSE(::access(reportFile("sdk.log").c_str(), F_OK) == 0);
  DVCRInternalLogWrite(kDVCRInternalLogLevelError, "late %d\n", 2);
  EXPECT_EQ(sdkLog(), "late 2\n");
}

TEST_F(InternalLogTest, FormatsTheFiveConversionsAndWritesOthersLiterally) {
  buildContext();
  DVCRInternalLogWrite(1, "%p %s %u %x %d|%s|%zu %d|100%|%", reinterpret_cast<void*>(0xbeef), "text", 4294967295u,
                       255u, -2147483647 - 1, static_cast<const char*>(nullptr), 7);
  EXPECT_EQ(sdkLog(), "0xbeef text 4294967295 ff -2147483648|(null)|%zu 7|100%|%");
}

TEST_F(InternalLogTest, TheMacrosNameTheFunctionAndLine) {
  buildContext();
  int line = __LINE__ + 1;
  DVCRSDKLogWarn("Unable to %s\n", "x");
  EXPECT_EQ(sdkLog(), "WARN  [TestBody:" + std::to_string(line) + "] Unable to x\n");
}

TEST_F(InternalLogTest, LevelsBelowTheThresholdAreDropped) {
  buildContext();
  writable_->internalLogging.logLevel = kDVCRInternalLogLevelWarn;
  DVCRSDKLogDebug("debug\n");
  DVCRSDKLogInfo("info\n");
  DVCRInternalLogWrite(kDVCRInternalLogLevelWarn, "warn\n");
  DVCRInternalLogWrite(kDVCRInternalLogLevelError, "error\n");
  EXPECT_EQ(sdkLog(), "warn\nerror\n");
}

TEST_F(InternalLogTest, AnUnopenableLogIsSilent) {
  buildContext();
  readonly_->logPath = dup(path("missing-folder/sdk.log"));
  DVCRInternalLogWrite(4, "lost\n");
  EXPECT_EQ(writable_->internalLogging.logFd.load(), -1);
}

TEST_F(InternalLogTest, ThreadsOpeningAtOnceShareOneDescriptor) {
  buildContext();
  const int before = openDescriptorCount();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) DVCRInternalLogWrite(1, "%d\n", t);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(openDescriptorCount(), before + 1) << "the losers of the open race closed theirs";
  EXPECT_EQ(sdkLog().size(), 8u * 50u * 2u);
}

}  // namespace
}  // namespace dvcr_testing
