// The writers and image walks run inside signal handlers, where allocating
// can deadlock: this test binary counts every operator new while a crash-time
// sequence runs, and expects none.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <chrono>
#include <string>
#include <thread>

#include "Libraries/CrashReporter/DVCRElf.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRMachO.h"
#include "Libraries/CrashReporter/DVCRProcess.h"
#include "Libraries/CrashReporter/DVCRHostInfo.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRSafeRead.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"
#include "Libraries/CrashReporter/tests/TestCrashContext.h"
#include "Libraries/CrashReporter/tests/UnwindTestSupport.h"

// The replacement pairs malloc with free itself; GCC cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
}  // namespace

void* operator new(size_t size) {
  if (counting.load()) allocations.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace dvcr_testing {
namespace {

class CrashTimeAllocationTest : public CrashReporterTest {
 protected:
  void startCounting() {
    allocations = 0;
    counting = true;
  }
  int stopCounting() {
    counting = false;
    return allocations.load();
  }
};

TEST_F(CrashTimeAllocationTest, WritingAnOpenRecordFileAllocatesNothing) {
  startCounting();
  std::string counted(100, 'x');
  ASSERT_GT(stopCounting(), 0) << "the counter sees allocations";

  const std::string file = path("signal.dvrecord");
  const std::string tricky = std::string("thread \"main\"\\\n") + '\xFF' + "\xE2\x82 operator\"\"_x";
  for (bool buffered : {false, true}) {
    DVCRFile out;
    // Opening writes no message when it succeeds.
    startCounting();
    ASSERT_TRUE(DVCRFileInitWithPathMode(&out, file.c_str(), false, buffered));
    for (int i = 0; i < 50; ++i) {
      DVCRFileWriteSectionStart(&out, "signal");
      DVCRFileWriteHashStart(&out);
      DVCRFileWriteHashEntryUint64(&out, "number", 11);
      DVCRFileWriteHashEntryInt64(&out, "code", -1);
      DVCRFileWriteHashEntryBoolean(&out, "fatal", true);
      DVCRFileWriteHashEntryString(&out, "name", tricky.c_str());
      DVCRFileWriteHashEntryNSString(&out, "queue", tricky);
      DVCRFileWriteHashEntryHexEncodedString(&out, "reason", tricky.c_str());
      DVCRFileWriteHashKey(&out, "frames");
      DVCRFileWriteArrayStart(&out);
      DVCRFileWriteArrayEntryUint64(&out, 0x7fff0000);
      DVCRFileWriteArrayEntryString(&out, tricky.c_str());
      DVCRFileWriteArrayEntryHexEncodedString(&out, tricky.c_str());
      DVCRFileWriteArrayEnd(&out);
      DVCRFileWriteHashEnd(&out);
      DVCRFileWriteSectionEnd(&out);
    }
    DVCRFileFDWriteUInt64(out.fd, 255, true);
    DVCRFileFDWriteInt64(out.fd, -9);
    ASSERT_TRUE(DVCRFileClose(&out));
    EXPECT_EQ(stopCounting(), 0) << (buffered ? "buffered" : "unbuffered");
  }
}

TEST_F(CrashTimeAllocationTest, WalkingImagesAllocatesNothing) {
  DVCRElfImage current;
  ASSERT_TRUE(DVCRElfImageGetCurrent(&current));  // found ahead of time
  DVCRMachOFile mapped;
  char self[4096] = {};
  ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
  ASSERT_TRUE(DVCRMachOFileInitWithPath(&mapped, self));

  startCounting();
  uint8_t uuid[16];
  EXPECT_TRUE(DVCRElfImageGetUUID(current, uuid));
  EXPECT_TRUE(DVCRElfImageGetTextExtent(current));
  EXPECT_TRUE(DVCRElfImageGetEHFrameAddress(current));
  DVCRElfImageGetArchitectureName(current);
  DVCRElfImage fromFile;
  EXPECT_TRUE(DVCRElfImageFromFile(&mapped, &fromFile));
  int slices = 0;
  DVCRMachOFileEnumerateSlices(&mapped, [&slices](const DVCRMachOSlice& slice) {
    ++slices;
    DVCRMachOSliceEnumerateLoadCommands(slice, [](uint32_t, uint32_t, const uint8_t* command) {
      DVCRMachOGetUUID(command);
    });
    DVCRMachOSliceGetArchitectureName(slice);
  });
  EXPECT_EQ(stopCounting(), 0);
  EXPECT_EQ(slices, 1);
  DVCRMachOFileDestroy(&mapped);
}

TEST_F(CrashTimeAllocationTest, TheInternalLogSafeReadsAndTheCrashGateAllocateNothing) {
  ASSERT_NE(buildTestCrashContext(path("report"), path("previously-crashed"), {},
                                  [](DVCRReadOnlyContext* readonly) { DVCRHostInitialize(&readonly->host); }),
            nullptr);
  const std::string file = path("report/signal.dvrecord");
  DVCRFile out;
  ASSERT_TRUE(DVCRFileInitWithPath(&out, file.c_str(), false));
  char text[] = "thread (E621E1F8-C36C-495A-93FC-0C247A3E6E5F)";
  char copy[sizeof text];

  startCounting();
  DVCRSDKLogError("first call opens the log %s %p %u %x %d %zu", "s", &out, 1u, 2u, -3);
  EXPECT_TRUE(DVCRReadMemory(text, copy, sizeof text));
  const char* checked = nullptr;
  EXPECT_TRUE(DVCRReadString(text, &checked, sizeof text));
  DVCRRedactUUID(copy);
  EXPECT_FALSE(DVCRContextMarkCrashed());
  DVCRHostWriteDiskUsage(&out);
  DVCRCreateCrashedMarkerFile();
  EXPECT_EQ(stopCounting(), 0);

  ASSERT_TRUE(DVCRFileClose(&out));
  takeDownTestCrashContext();
}

TEST_F(CrashTimeAllocationTest, TheCommonHandlerAllocatesNothing) {
  ASSERT_NE(buildTestCrashContext(path("report"), path("previously-crashed"), {},
                                  [](DVCRReadOnlyContext* readonly) { DVCRHostInitialize(&readonly->host); }),
            nullptr);
  ScopedImageSlots slots;
  slots.addLoadedImages();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::atomic<bool> started{false};
  std::thread parked([&] {
    started = true;
    char byte;
    EXPECT_EQ(read(fds[0], &byte, 1), 1);
  });
  while (!started) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::string file = path("report/signal.dvrecord");
  DVCRFile out;
  ASSERT_TRUE(DVCRFileInitWithPath(&out, file.c_str(), false));

  startCounting();
  DVCRHandler(&out, mach::currentThread(), nullptr);
  EXPECT_EQ(stopCounting(), 0);

  ASSERT_TRUE(DVCRFileClose(&out));
  EXPECT_EQ(write(fds[1], "x", 1), 1);
  parked.join();
  close(fds[0]);
  close(fds[1]);
  auto sections = DVCRFileReadSections(file.c_str(), false);
  ASSERT_TRUE(sections);
  EXPECT_EQ(sections->size(), 6u);  // threads to storage, each a whole line
  takeDownTestCrashContext();
}

}  // namespace
}  // namespace dvcr_testing
