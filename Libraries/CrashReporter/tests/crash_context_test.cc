// The crash allocator's mapping and the crash context's gates: guard pages
// and the locked read-only region as the kernel sees them, heap fallbacks
// with their log lines, concurrent allocation, and the crashed-once gate.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "Libraries/CrashReporter/DVCRHostInfo.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"

namespace dvcr_testing {
namespace {

// The permissions /proc/self/maps gives the page holding `address` ("rw-p").
std::string permissionsAt(const void* address) {
  const auto at = reinterpret_cast<uintptr_t>(address);
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    unsigned long start = 0, end = 0;
    char permissions[5] = {};
    if (std::sscanf(line.c_str(), "%lx-%lx %4s", &start, &end, permissions) == 3 && at >= start && at < end) {
      return permissions;
    }
  }
  return "unmapped";
}

class CrashContextAllocatorTest : public CrashContextTest {
 protected:
  uint8_t* writableStart() const { return reinterpret_cast<uint8_t*>(allocator_->writableRegion.start); }
  uint8_t* readOnlyStart() const { return reinterpret_cast<uint8_t*>(allocator_->readOnlyRegion.start); }
  bool inMapping(const void* p) const {
    auto* byte = static_cast<const uint8_t*>(p);
    auto* buffer = static_cast<const uint8_t*>(allocator_->buffer);
    return byte >= buffer && byte < buffer + DVCRAllocatorMappingSize(allocator_);
  }
};

TEST_F(CrashContextAllocatorTest, GuardPagesHaveNoAccessAndTheReadOnlyRegionIsLockedByProtection) {
  buildContext();
  const size_t page = DVCRHostGetPageSize();
  auto* buffer = static_cast<uint8_t*>(allocator_->buffer);
  EXPECT_EQ(writableStart(), buffer + page);
  EXPECT_EQ(allocator_->writableRegion.size % page, 0u);
  EXPECT_GT(allocator_->writableRegion.size, kDVCRContextWritableSize);
  EXPECT_EQ(readOnlyStart(), writableStart() + allocator_->writableRegion.size + page);
  EXPECT_EQ(static_cast<void*>(allocator_), static_cast<void*>(readOnlyStart())) << "the record heads its region";

  const uint8_t* guards[] = {buffer, readOnlyStart() - page, readOnlyStart() + allocator_->readOnlyRegion.size};
  for (const uint8_t* guard : guards) EXPECT_EQ(permissionsAt(guard), "---p");
  EXPECT_EQ(permissionsAt(readOnlyStart()), "rw-p");

  ASSERT_TRUE(DVCRAllocatorProtect(allocator_));
  for (const uint8_t* guard : guards) EXPECT_EQ(permissionsAt(guard), "---p");
  EXPECT_EQ(permissionsAt(readOnlyStart()), "r--p");
  EXPECT_EQ(permissionsAt(readOnlyStart() + allocator_->readOnlyRegion.size - 1), "r--p");
  EXPECT_EQ(permissionsAt(writableStart()), "rw-p");
  EXPECT_EQ(permissionsAt(readOnlyStart() - page - 1), "rw-p") << "the writable region's last byte";

  EXPECT_TRUE(DVCRAllocatorProtect(allocator_)) << "a second call finds it locked";
  EXPECT_NE(sdkLog().find("Write protection already enabled"), std::string::npos);
  EXPECT_FALSE(DVCRAllocatorProtect(reinterpret_cast<DVCRAllocator*>(16)));
}

TEST_F(CrashContextAllocatorTest, AWriteIntoTheLockedRegionEndsTheProcessWithSIGSEGV) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  buildContext();
  ASSERT_TRUE(DVCRAllocatorProtect(allocator_));
  EXPECT_EXIT(
      {
        const_cast<DVCRReadOnlyContext*>(readonly_)->debuggerAttached = true;
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGSEGV), "");
}

TEST_F(CrashContextAllocatorTest, AllocationsItCannotServeComeFromTheHeapAndAreLogged) {
  buildContext();
  void* tooBig = DVCRAllocatorSafeAllocate(allocator_, allocator_->writableRegion.size + 1, kDVCRAllocatorWritable);
  ASSERT_NE(tooBig, nullptr);
  EXPECT_FALSE(inMapping(tooBig));
  std::free(tooBig);
  EXPECT_NE(sdkLog().find("WARN  [DVCRAllocatorSafeAllocateFromRegion:"), std::string::npos);
  EXPECT_NE(sdkLog().find("] Unable to allocate sufficient memory, falling back to malloc"), std::string::npos);

  void* fits = DVCRAllocatorSafeAllocate(allocator_, 100, kDVCRAllocatorReadOnly);
  EXPECT_TRUE(inMapping(fits));
  EXPECT_EQ(DVCRAllocatorSafeAllocate(allocator_, 100, 2), nullptr) << "no third region";

  ASSERT_TRUE(DVCRAllocatorProtect(allocator_));
  for (uint32_t type : {kDVCRAllocatorReadOnly, kDVCRAllocatorWritable}) {
    void* late = DVCRAllocatorSafeAllocate(allocator_, 100, type);
    ASSERT_NE(late, nullptr);
    EXPECT_FALSE(inMapping(late));
    std::free(late);
  }
  EXPECT_NE(sdkLog().find("] Allocator already protected, falling back to malloc"), std::string::npos);

  void* noAllocator = DVCRAllocatorSafeAllocate(nullptr, 8, kDVCRAllocatorWritable);
  EXPECT_NE(noAllocator, nullptr);
  std::free(noAllocator);
  EXPECT_NE(sdkLog().find("] Allocator invalid, falling back to malloc"), std::string::npos);
}

TEST_F(CrashContextAllocatorTest, ThreadsAllocatingAtOnceGetDisjointAlignedBlocks) {
  buildContext();
  std::mutex mutex;
  std::vector<std::pair<uintptr_t, size_t>> blocks;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      std::vector<std::pair<uintptr_t, size_t>> mine;
      for (size_t i = 0; i < 300; ++i) {
        size_t size = 1 + (i * 7 + t) % 45;  // odd sizes: each must still leave the next block aligned
        mine.emplace_back(
            reinterpret_cast<uintptr_t>(DVCRAllocatorSafeAllocate(allocator_, size, kDVCRAllocatorWritable)), size);
      }
      std::lock_guard<std::mutex> lock(mutex);
      blocks.insert(blocks.end(), mine.begin(), mine.end());
    });
  }
  for (auto& thread : threads) thread.join();
  std::sort(blocks.begin(), blocks.end());
  for (size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_TRUE(inMapping(reinterpret_cast<void*>(blocks[i].first)));
    EXPECT_EQ(blocks[i].first % kDVCRAllocatorAlignment, 0u);
    if (i > 0) {
      EXPECT_GE(blocks[i].first, blocks[i - 1].first + blocks[i - 1].second);
    }
  }
}

TEST_F(CrashContextAllocatorTest, TheCrashGateOpensOnceAndNothingIsReadyBeforeSetUp) {
  EXPECT_FALSE(DVCRContextIsReady());
  EXPECT_FALSE(DVCRContextMarkCrashed());
  EXPECT_FALSE(DVCRContextMarkCrashed()) << "without a context the gate has no effect";

  buildContext([](DVCRReadOnlyContext*) {
    EXPECT_FALSE(DVCRContextIsReady()) << "built, not yet initialised";
    EXPECT_FALSE(DVCRContextMarkCrashed());
  });
  EXPECT_FALSE(writable_->crashOccurred);
  ASSERT_TRUE(DVCRContextIsReady());

  std::atomic<int> passed{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      while (!go) {
      }
      if (!DVCRContextMarkCrashed()) ++passed;
    });
  }
  go = true;
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(passed, 1) << "exactly one crashing thread records";
  EXPECT_TRUE(DVCRContextMarkCrashed());
}

TEST_F(CrashContextAllocatorTest, TheCrashedMarkerIsCreated) {
  DVCRCreateCrashedMarkerFile();  // no context: nothing, no crash
  buildContext();
  DVCRCreateCrashedMarkerFile();
  EXPECT_EQ(::access(path("previously-crashed").c_str(), F_OK), 0);
  EXPECT_NE(sdkLog().find("] Created the crashed marker file"), std::string::npos);
}

}  // namespace
}  // namespace dvcr_testing
