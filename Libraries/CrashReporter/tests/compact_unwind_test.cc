// The compact unwind table on bytes built by hand: the first-level index,
// compressed and regular second-level pages, the encodings and their three
// ways of unwinding.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Libraries/CrashReporter/DVCRCompactUnwind.h"
#include "Libraries/CrashReporter/DVCRUnwind.h"
#include "Libraries/CrashReporter/tests/UnwindTestSupport.h"

namespace dvcr_testing {
namespace {

constexpr uint32_t kFrameless = kDVCRCompactUnwindModeFrameless | 0x10;  // extra bits are ignored
constexpr uint32_t kFrame = kDVCRCompactUnwindModeFrame | 0x1234;
constexpr uint32_t kBadMode = 0x01000000;

// Functions at load + 0x100 (frame), 0x120 (frameless), 0x140 (DWARF),
// 0x180 (no unwind information), 0x1C0 (an unknown mode) in a compressed
// page; 0x200 in a regular page; the index ends at 0x300.
class CompactUnwindTest : public ::testing::Test {
 protected:
  CompactUnwindTest()
      : cfi_(CraftedCFI::standardCIE(), {{load_ + 0x140, 0x40, {0x0E, 0x10}}}) {  // CFA rsp+16
    ByteWriter w;
    w.u32(1).u32(28).u32(2).u32(0).u32(0).u32(36).u32(3);  // header
    w.u32(kFrameless).u32(kFrame);                         // common encodings at 28
    const size_t index = w.size();
    w.u32(0x100).u32(0).u32(0).u32(0x200).u32(0).u32(0).u32(0x300).u32(0).u32(0);
    const size_t compressed = w.size();
    w.put32(index + 4, static_cast<uint32_t>(compressed));
    w.u32(3).u16(12).u16(5).u16(32).u16(3);
    w.u32(0x00 | 1u << 24).u32(0x20 | 0u << 24).u32(0x40 | 2u << 24).u32(0x80 | 3u << 24).u32(0xC0 | 4u << 24);
    w.u32(kDVCRCompactUnwindModeDwarf | static_cast<uint32_t>(cfi_.fdeOffset(0))).u32(0).u32(kBadMode);
    const size_t regular = w.size();
    w.put32(index + 16, static_cast<uint32_t>(regular));
    w.u32(2).u16(8).u16(1).u32(0x200).u32(kFrame);
    info_ = std::move(w.bytes);
  }

  bool init(DVCRCompactUnwindContext* context) {
    return DVCRCompactUnwindInit(context, reinterpret_cast<uintptr_t>(info_.data()), cfi_.section(), load_);
  }

  const uint64_t load_ = fakeTextAddress(0);
  CraftedCFI cfi_;
  std::vector<uint8_t> info_;
};

TEST_F(CompactUnwindTest, LooksUpEachFunctionsEntry) {
  DVCRCompactUnwindContext context;
  ASSERT_TRUE(init(&context));
  struct Case {
    uint64_t offset;
    bool found;
    uint32_t encoding = 0;
    uint64_t start = 0, end = 0;
  } cases[] = {
      {0x0FF, false},  // before the first function
      {0x100, true, kFrame, 0x100, 0x120},
      {0x11F, true, kFrame, 0x100, 0x120},
      {0x120, true, kFrameless, 0x120, 0x140},  // a common encoding
      {0x140, true, kDVCRCompactUnwindModeDwarf | static_cast<uint32_t>(cfi_.fdeOffset(0)), 0x140, 0x180},
      {0x180, false},  // encoding 0
      {0x1C0, true, kBadMode, 0x1C0, 0x200},  // the page's last entry ends at the next index entry
      {0x210, false},  // a regular page
      {0x300, false},  // the sentinel
  };
  for (const Case& c : cases) {
    DVCRCompactUnwindEntry entry;
    ASSERT_EQ(DVCRCompactUnwindLookup(&context, load_ + c.offset, &entry), c.found) << std::hex << c.offset;
    if (!c.found) continue;
    EXPECT_EQ(entry.encoding, c.encoding) << std::hex << c.offset;
    EXPECT_EQ(entry.functionStart, load_ + c.start) << std::hex << c.offset;
    EXPECT_EQ(entry.functionEnd, load_ + c.end) << std::hex << c.offset;
  }
}

TEST_F(CompactUnwindTest, EachModeUnwindsItsWay) {
  DVCRCompactUnwindContext context;
  ASSERT_TRUE(init(&context));
  const uint64_t caller = fakeTextAddress(0x3000);
  uint64_t stack[4] = {caller + 1, caller + 2, 0, 0};
  uint64_t frameRecord[2] = {0x1234'5678, caller + 3};
  struct Case {
    uint64_t offset;
    bool unwinds;
    uint64_t pc = 0;
    uint64_t sp = 0;
  } cases[] = {
      {0x100, true, caller + 3, reinterpret_cast<uint64_t>(frameRecord + 2)},  // frame: the chain
      {0x120, true, caller + 1, reinterpret_cast<uint64_t>(stack + 1)},        // frameless: [rsp]
      {0x150, true, caller + 2, reinterpret_cast<uint64_t>(stack + 2)},        // DWARF: CFA rsp+16
      {0x1C0, false},
  };
  for (const Case& c : cases) {
    DVCRThreadState registers{};
    registers.gregs[REG_RIP] = static_cast<greg_t>(load_ + c.offset);
    registers.gregs[REG_RSP] = static_cast<greg_t>(reinterpret_cast<uint64_t>(stack));
    registers.gregs[REG_RBP] = static_cast<greg_t>(reinterpret_cast<uint64_t>(frameRecord));
    ASSERT_EQ(DVCRCompactUnwindLookupAndCompute(&context, &registers), c.unwinds) << std::hex << c.offset;
    if (!c.unwinds) continue;
    EXPECT_EQ(DVCRThreadContextGetPC(&registers), c.pc) << std::hex << c.offset;
    EXPECT_EQ(DVCRThreadContextGetStackPointer(&registers), c.sp) << std::hex << c.offset;
  }
}

TEST_F(CompactUnwindTest, ARegularPageFallsBackToTheFramePointer) {
  ScopedImageSlots slots;
  slots.add({load_, sizeof fakeText, 0, reinterpret_cast<uint64_t>(info_.data()), 0});
  const uint64_t caller = 0x7f0000001000;  // in no image
  uint64_t frameRecord[2] = {0, caller};
  uint64_t stack[1] = {0};  // no return address at the stack pointer
  DVCRThreadState registers{};
  registers.gregs[REG_RIP] = static_cast<greg_t>(load_ + 0x210);
  registers.gregs[REG_RSP] = static_cast<greg_t>(reinterpret_cast<uint64_t>(stack));
  registers.gregs[REG_RBP] = static_cast<greg_t>(reinterpret_cast<uint64_t>(frameRecord));
  DVCRUnwindContext unwind;
  ASSERT_TRUE(DVCRUnwindInit(&unwind, &registers));
  std::vector<uint64_t> frames;
  while (DVCRUnwindNextFrame(&unwind)) frames.push_back(DVCRUnwindGetPC(&unwind));
  EXPECT_EQ(frames, (std::vector<uint64_t>{load_ + 0x210, caller}));
}

TEST_F(CompactUnwindTest, InitRefusesBadInputs) {
  DVCRCompactUnwindContext context;
  const auto info = reinterpret_cast<uintptr_t>(info_.data());
  EXPECT_FALSE(DVCRCompactUnwindInit(&context, 0x10, {}, load_));
  EXPECT_FALSE(DVCRCompactUnwindInit(&context, info, {}, 0x10));
  EXPECT_FALSE(DVCRCompactUnwindInit(nullptr, info, {}, load_));
  info_[0] = 2;
  EXPECT_FALSE(DVCRCompactUnwindInit(&context, info, {}, load_)) << "version 2";
  DVCRCompactUnwindEntry entry;
  info_[0] = 1;
  info_[24] = 1;  // an index of one entry has no function
  ASSERT_TRUE(init(&context));
  EXPECT_FALSE(DVCRCompactUnwindLookup(&context, load_ + 0x100, &entry));
}

}  // namespace
}  // namespace dvcr_testing
