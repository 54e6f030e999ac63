// Safe reads: unmapped memory gives false instead of a fault, by both the
// kernel route and the pipe route, and strings are only accepted with a NUL
// inside the allowed length.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRSafeRead.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"

namespace dvcr_testing {
namespace {

using ReadFunction = bool (*)(const void*, void*, size_t);

class SafeReadTest : public ::testing::TestWithParam<ReadFunction> {
 protected:
  // Two pages: the first readable, the second without access.
  void SetUp() override {
    page_ = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    base_ = static_cast<char*>(::mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(base_, MAP_FAILED);
    ASSERT_EQ(::mprotect(base_ + page_, page_, PROT_NONE), 0);
  }
  void TearDown() override { ::munmap(base_, 2 * page_); }

  size_t page_ = 0;
  char* base_ = nullptr;
};

TEST_P(SafeReadTest, ReadsMappedMemoryAndRefusesTheRest) {
  ReadFunction read = GetParam();
  std::string big(3 * 4096 + 17, 'a');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  std::string copy(big.size(), '\0');
  EXPECT_TRUE(read(big.data(), copy.data(), big.size()));
  EXPECT_EQ(copy, big);

  char out[16];
  EXPECT_FALSE(read(base_ + page_, out, 1)) << "no access";
  EXPECT_FALSE(read(base_ + page_ - 4, out, 8)) << "runs into the page without access";
  EXPECT_FALSE(read(reinterpret_cast<void*>(4095), out, 1)) << "below 4,096";
  EXPECT_FALSE(read(reinterpret_cast<void*>(8), out, 1));
  EXPECT_FALSE(read(big.data(), nullptr, 1));
  EXPECT_TRUE(read(big.data(), out, 0));
}

// The cache route, emptied before each read.
bool readThroughFreshCache(const void* source, void* destination, size_t length) {
  static DVCRSafeReadCache cache;
  DVCRSafeReadCacheReset(&cache);
  return DVCRSafeReadCacheRead(&cache, source, destination, length);
}

INSTANTIATE_TEST_SUITE_P(Routes, SafeReadTest,
                         ::testing::Values(&DVCRReadMemory, &DVCRReadMemoryThroughPipe, &readThroughFreshCache),
                         [](const auto& info) {
                           return info.param == &DVCRReadMemory              ? "Kernel"
                                  : info.param == &DVCRReadMemoryThroughPipe ? "Pipe"
                                                                             : "Cache";
                         });

class SafeReadCacheTest : public SafeReadTest {};

// Later reads in a block already copied cost no system call; copying ahead
// stops short of a page without access instead of failing the read; and
// memory changed after it was copied still reads as copied (the cache is
// for one walk over memory that holds still).
TEST_F(SafeReadCacheTest, CopiesABlockOnceAndAnswersFromTheCopy) {
  DVCRSafeReadCache cache;
  DVCRSafeReadCacheReset(&cache);
  EXPECT_EQ(cache.pid, ::getpid());
  memset(base_, 'r', page_);
  memcpy(base_ + page_ - 8, "lastword", 8);
  char out[16] = {};
  ASSERT_TRUE(DVCRSafeReadCacheRead(&cache, base_ + page_ - 8, out, 8));
  EXPECT_EQ(std::string(out, 8), "lastword");
  EXPECT_EQ(cache.blockReads, 1u);
  base_[0] = 'w';
  ASSERT_TRUE(DVCRSafeReadCacheRead(&cache, base_, out, 4));
  EXPECT_EQ(std::string(out, 4), "rrrr") << "answered from the copy";
  EXPECT_EQ(cache.blockReads, 1u);

  EXPECT_FALSE(DVCRSafeReadCacheRead(&cache, base_ + page_ - 4, out, 8)) << "runs into the page without access";
  EXPECT_FALSE(DVCRSafeReadCacheRead(&cache, base_ + page_, out, 1));
  DVCRSafeReadCacheReset(&cache);
  ASSERT_TRUE(DVCRSafeReadCacheRead(&cache, base_, out, 4));
  EXPECT_EQ(std::string(out, 4), "wrrr") << "a reset cache copies again";
}

// Many blocks in turn: more than the cache holds, read twice over, each
// byte as it is in memory.
TEST_F(SafeReadCacheTest, ReadsMoreBlocksThanItHolds) {
  std::vector<unsigned char> memory((DVCRSafeReadCache::kBlocks * 3 + 1) * DVCRSafeReadCache::kBlockSize);
  for (size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<unsigned char>(i * 7 + i / 4096);
  DVCRSafeReadCache cache;
  DVCRSafeReadCacheReset(&cache);
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t at = 5; at + 24 <= memory.size(); at += 1000) {
      unsigned char out[24];
      ASSERT_TRUE(DVCRSafeReadCacheRead(&cache, memory.data() + at, out, sizeof out)) << at;
      ASSERT_EQ(memcmp(out, memory.data() + at, sizeof out), 0) << at;
    }
  }
}

class SafeReadStringTest : public SafeReadTest {};

TEST_F(SafeReadStringTest, AcceptsOnlyAStringWhoseNulLiesWithinTheLimit) {
  const char* text = "crash";
  const char* out = nullptr;
  EXPECT_TRUE(DVCRReadString(text, &out, 6));
  EXPECT_EQ(out, text) << "validated in place";
  EXPECT_TRUE(DVCRReadString(text, &out, 100));

  out = nullptr;
  EXPECT_FALSE(DVCRReadString(text, &out, 5)) << "the NUL is the 6th byte";
  EXPECT_FALSE(DVCRReadString(text, &out, 0));
  EXPECT_EQ(out, nullptr);
  EXPECT_FALSE(DVCRReadString(text, nullptr, 6));
  EXPECT_FALSE(DVCRReadString(reinterpret_cast<void*>(4095), &out, 6));

  // A string that runs into a page without access, whatever the limit.
  memset(base_, 'x', page_);
  EXPECT_FALSE(DVCRReadString(base_ + page_ - 3, &out, 100));
  // A NUL placed across a page boundary from the start is found.
  base_[page_ - 1] = '\0';
  EXPECT_TRUE(DVCRReadString(base_ + page_ - 4000, &out, 4000));
  EXPECT_FALSE(DVCRReadString(base_ + page_ - 4000, &out, 3999));
}

}  // namespace
}  // namespace dvcr_testing
