// The unwinder from registers to return addresses: crafted stacks and
// tables for its edge cases, a real optimised chain of calls against glibc
// backtrace(), and a replaced malloc that sees no call while it runs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Libraries/CrashReporter/DVCRUnwind.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Libraries/CrashReporter/tests/UnwindChain.h"
#include "Libraries/CrashReporter/tests/UnwindTestSupport.h"

// Every malloc of this test program goes through here; while counting, each
// call is counted. glibc's own entry points do the work.
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* pointer, size_t size);
namespace {
std::atomic<bool> countingMallocs{false};
std::atomic<int> mallocCalls{0};
void countMalloc() {
  if (countingMallocs.load(std::memory_order_relaxed)) mallocCalls.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace
extern "C" void* malloc(size_t size) noexcept {
  countMalloc();
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) noexcept {
  countMalloc();
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* pointer, size_t size) noexcept {
  countMalloc();
  return __libc_realloc(pointer, size);
}

namespace dvcr_testing {
namespace {

constexpr uint64_t kNowhere = 0x7f0000100000;  // in no image

class UnwindTest : public CrashContextTest {
 protected:
  static DVCRThreadState registersAt(uint64_t pc, const void* sp, const void* fp = nullptr) {
    DVCRThreadState registers{};
    registers.gregs[REG_RIP] = static_cast<greg_t>(pc);
    registers.gregs[REG_RSP] = static_cast<greg_t>(reinterpret_cast<uint64_t>(sp));
    registers.gregs[REG_RBP] = static_cast<greg_t>(reinterpret_cast<uint64_t>(fp));
    return registers;
  }
  static std::vector<uint64_t> unwind(const DVCRThreadState& registers, std::vector<uint32_t>* repeats = nullptr) {
    DVCRUnwindContext context;
    EXPECT_TRUE(DVCRUnwindInit(&context, &registers));
    std::vector<uint64_t> frames;
    while (DVCRUnwindNextFrame(&context)) {
      frames.push_back(DVCRUnwindGetPC(&context));
      if (repeats) repeats->push_back(DVCRUnwindGetFrameRepeatCount(&context));
    }
    return frames;
  }
  ScopedImageSlots slots_;
};

TEST_F(UnwindTest, AZeroFramePointerEndsTheStackQuietly) {
  buildContext();
  uint64_t stack[2] = {0, 0};
  EXPECT_EQ(unwind(registersAt(kNowhere, stack)), std::vector<uint64_t>{kNowhere});
  EXPECT_NE(sdkLog().find("FP is zero, aborting unwind"), std::string::npos) << sdkLog();
  EXPECT_EQ(sdkLog().find("Failed to advance"), std::string::npos) << sdkLog();
  // No PC, or no stack: no frame at all.
  EXPECT_TRUE(unwind(registersAt(0, stack)).empty());
  EXPECT_TRUE(unwind(registersAt(kNowhere, nullptr)).empty());
  EXPECT_NE(sdkLog().find("Cancelling unwind for thread with invalid PC/SP"), std::string::npos);
}

TEST_F(UnwindTest, AFramelessLeafGivesItsReturnAddressOnTheSecondStepOnly) {
  uint64_t outer[2] = {0, kNowhere + 3};
  uint64_t inner[2] = {reinterpret_cast<uint64_t>(outer), kNowhere + 2};
  uint64_t stack[2] = {kNowhere + 1, kNowhere + 9};
  EXPECT_EQ(unwind(registersAt(kNowhere, stack, inner)),
            (std::vector<uint64_t>{kNowhere, kNowhere + 1, kNowhere + 2, kNowhere + 3}));
}

TEST_F(UnwindTest, TheFrameCapAndRepeatCounts) {
  // A frame record that points at itself: a corrupt stack that never ends.
  uint64_t record[2];
  record[0] = reinterpret_cast<uint64_t>(record);
  record[1] = kNowhere + 1;
  uint64_t stack[1] = {0};
  std::vector<uint32_t> repeats;
  const std::vector<uint64_t> frames = unwind(registersAt(kNowhere, stack, record), &repeats);
  ASSERT_EQ(frames.size(), kDVCRUnwindMaximumFrames);
  EXPECT_EQ(frames[1], kNowhere + 1);
  EXPECT_EQ(frames.back(), kNowhere + 1);
  EXPECT_EQ(repeats[0], 0u);
  EXPECT_EQ(repeats[1], 0u) << "a new PC";
  EXPECT_EQ(repeats[2], 1u);
  EXPECT_EQ(repeats.back(), kDVCRUnwindMaximumFrames - 2);
}

TEST_F(UnwindTest, ReturnAddressesAreLookedUpInsideTheirCall) {
  // G: the usual rules. F: from offset 12 on, CFA = rsp + 32.
  const uint64_t f = fakeTextAddress(0x1000), g = fakeTextAddress(0x2000);
  CraftedCFI cfi(CraftedCFI::standardCIE(), {{f, 0x100, {0x4C, 0x0E, 0x20}}, {g, 0x100, {}}});
  slots_.add(cfi.slot());

  // G was interrupted and F called it: F's frame is looked up at offset 11,
  // before the row at 12 applies, so its return address is right above.
  uint64_t stack[6] = {f + 12, kNowhere + 1, 0, 0, 0, kNowhere + 5};
  EXPECT_EQ(unwind(registersAt(g + 4, stack)), (std::vector<uint64_t>{g + 4, f + 12, kNowhere + 1}));
  // F itself interrupted at offset 12: that row applies.
  uint64_t own[5] = {0, 0, 0, kNowhere + 3, 0};
  EXPECT_EQ(unwind(registersAt(f + 12, own)), (std::vector<uint64_t>{f + 12, kNowhere + 3}));
}

TEST_F(UnwindTest, RulesKeptForARecursionsReturnAddressServeThatAddressOnly) {
  // G: from offset 1 on CFA = rsp + 16, from offset 8 on rsp + 32. It calls
  // itself twice from offset 4 (return address G+5), then from offset 8
  // (G+9): the rules kept for G+4 must not serve G+8.
  const uint64_t g = fakeTextAddress(0x1000);
  CraftedCFI cfi(CraftedCFI::standardCIE(), {{g, 0x100, {0x41, 0x0E, 0x10, 0x47, 0x0E, 0x20}}});
  slots_.add(cfi.slot());
  uint64_t stack[10] = {g + 5, 0, g + 5, 0, g + 9, 0, kNowhere + 3, 0, kNowhere + 1, 0};
  EXPECT_EQ(unwind(registersAt(g, stack)), (std::vector<uint64_t>{g, g + 5, g + 5, g + 9, kNowhere + 1}));
}

TEST_F(UnwindTest, AFaultAtAFunctionsFirstByteUnwindsToItsTrueCaller) {
  // E ends with a 32-byte frame; F starts right after it. The byte before
  // F's first is E's, whose rules would find the wrong return address.
  const uint64_t e = fakeTextAddress(0x1000), f = fakeTextAddress(0x1100);
  CraftedCFI cfi(CraftedCFI::standardCIE(), {{e, 0x100, {0x41, 0x0E, 0x20}}, {f, 0x100, {0x41, 0x0E, 0x10}}});
  slots_.add(cfi.slot());
  uint64_t crafted[5] = {kNowhere + 1, 0, 0, kNowhere + 3, 0};
  EXPECT_EQ(unwind(registersAt(f, crafted)), (std::vector<uint64_t>{f, kNowhere + 1}));
}

TEST_F(UnwindTest, AFaultAtARealFunctionsFirstByteUnwindsToItsCaller) {
  slots_.addLoadedImages();
  // As if a stack overflow hit the chain's first instruction: the return
  // address is at the stack pointer, and the byte before the function
  // belongs to another one (or to none).
  const auto first = reinterpret_cast<uint64_t>(&unwindChainLink);
  const auto caller = reinterpret_cast<uint64_t>(&unwindChainLink) + 0x10;
  uint64_t stack[8] = {caller, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<uint64_t> frames = unwind(registersAt(first, stack));
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[0], first);
  EXPECT_EQ(frames[1], caller);
}

// What the chain's bottom records: our frames and how many mallocs ran.
struct ChainResult {
  uint64_t frames[UnwindChainProbe::kCapacity];
  int count = 0;
  int mallocs = -1;
  uint32_t blockReads = 0;  // system calls the read cache made
};

void unwindAtBottom(UnwindChainProbe* probe) {
  auto* result = static_cast<ChainResult*>(probe->user);
  mallocCalls = 0;
  countingMallocs = true;
  DVCRUnwindContext context;
  DVCRUnwindInit(&context, &probe->context.uc_mcontext);
  while (result->count < UnwindChainProbe::kCapacity && DVCRUnwindNextFrame(&context))
    result->frames[result->count++] = DVCRUnwindGetPC(&context);
  countingMallocs = false;
  result->mallocs = mallocCalls.load();
  result->blockReads = context.readCache.blockReads;
}

// Runs the 40-deep chain with every loaded image in the slots.
void runChain(ScopedImageSlots& slots, UnwindChainProbe* probe, ChainResult* result) {
  slots.addLoadedImages();
  probe->atBottom = unwindAtBottom;
  probe->user = result;
  unwindChainLink(40, probe);
}

TEST_F(UnwindTest, AnOptimisedChainUnwindsAsBacktraceDoes) {
  UnwindChainProbe probe;
  ChainResult result;
  runChain(slots_, &probe, &result);

  ASSERT_GT(probe.backtraceCount, 42);
  std::vector<uint64_t> ours(result.frames + 1, result.frames + result.count);
  std::vector<uint64_t> theirs;
  for (int i = 1; i < probe.backtraceCount; ++i) theirs.push_back(reinterpret_cast<uint64_t>(probe.backtrace[i]));
  EXPECT_EQ(ours, theirs);
  EXPECT_EQ(result.frames[0], static_cast<uint64_t>(probe.context.uc_mcontext.gregs[REG_RIP]));
  // The stack and the tables are copied a few blocks at a time, not a field
  // at a time (each copy is a system call): fewer copies than frames, where
  // reading field by field takes several a frame. Where the stack and the
  // libraries fall across block edges changes with each run, so the bound
  // leaves room.
  EXPECT_LT(result.blockReads, static_cast<uint32_t>(result.count)) << result.blockReads << " block reads";
}

TEST_F(UnwindTest, UnwindingAllocatesNothing) {
  // The counter sees allocations at all.
  countingMallocs = true;
  void* volatile probeAllocation = malloc(16);
  countingMallocs = false;
  free(probeAllocation);
  ASSERT_GT(mallocCalls.load(), 0);

  buildContext();  // with the log written too
  UnwindChainProbe probe;
  ChainResult result;
  runChain(slots_, &probe, &result);
  EXPECT_GT(result.count, 42);
  EXPECT_EQ(result.mallocs, 0);
}

}  // namespace
}  // namespace dvcr_testing
