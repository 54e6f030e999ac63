// DWARF call frames on bytes built by hand: the readers, the CIE and FDE,
// the instructions up to a PC, the expression machine, and one unwinding
// step from registers and a stack.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Libraries/CrashReporter/DVCRDwarfExpression.h"
#include "Libraries/CrashReporter/DVCRDwarfInstructions.h"
#include "Libraries/CrashReporter/DVCRDwarfReaders.h"
#include "Libraries/CrashReporter/DVCRDwarfRecords.h"
#include "Libraries/CrashReporter/DVCRDwarfUnwind.h"
#include "Libraries/CrashReporter/DVCREHFrameHeader.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"
#include "Libraries/CrashReporter/tests/UnwindTestSupport.h"

namespace dvcr_testing {
namespace {

const uint64_t kFunction = fakeTextAddress(0x1000);

uintptr_t at(const std::vector<uint8_t>& bytes) { return reinterpret_cast<uintptr_t>(bytes.data()); }
DVCRDwarfCursor over(const std::vector<uint8_t>& bytes) { return DVCRDwarfCursorMake(at(bytes), bytes.size()); }
DVCRDwarfSection sectionOf(const std::vector<uint8_t>& bytes) { return {at(bytes), bytes.size()}; }

TEST(DwarfReadersTest, LEB128ValuesAndCursors) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint64_t unsignedValue;
    int64_t signedValue;
  } cases[] = {
      {{0x02}, 2, 2},
      {{0x7F}, 127, -1},
      {{0x80, 0x01}, 128, 128},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, (uint64_t{1} << 42) - 1, -1},  // six bytes: 42 bits
      {{0xE5, 0x8E, 0x26}, 624485, 624485},
      {{0xC0, 0xBB, 0x78}, 1973696, -123456},
  };
  for (const Case& c : cases) {
    DVCRDwarfCursor cursor = over(c.bytes);
    EXPECT_EQ(DVCRParseULEB128AndAdvance(&cursor), c.unsignedValue);
    EXPECT_EQ(cursor.position, at(c.bytes) + c.bytes.size());
    cursor = over(c.bytes);
    EXPECT_EQ(DVCRParseLEB128AndAdvance(&cursor), c.signedValue);
    EXPECT_EQ(cursor.position, at(c.bytes) + c.bytes.size());
    EXPECT_FALSE(cursor.failed);
  }
  // Beyond eight bytes the value keeps its 56 bits and the cursor still
  // moves past the whole number.
  std::vector<uint8_t> long_ = {0x81, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01};
  DVCRDwarfCursor cursor = over(long_);
  EXPECT_EQ(DVCRParseULEB128AndAdvance(&cursor), 1u);
  EXPECT_EQ(cursor.position, at(long_) + long_.size());
}

TEST(DwarfReadersTest, NoReadPassesTheCursorsEnd) {
  // Each read needs one byte more than its cursor allows: it fails, gives
  // 0, and every read after it fails too.
  std::vector<uint8_t> bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'};
  struct Case {
    const char* name;
    size_t allowed;
    void (*read)(DVCRDwarfCursor*);
  } cases[] = {
      {"u16", 1, [](DVCRDwarfCursor* c) { EXPECT_EQ(DVCRParseUint16AndAdvance(c), 0u); }},
      {"u32", 3, [](DVCRDwarfCursor* c) { EXPECT_EQ(DVCRParseUint32AndAdvance(c), 0u); }},
      {"u64", 7, [](DVCRDwarfCursor* c) { EXPECT_EQ(DVCRParseUint64AndAdvance(c), 0u); }},
      {"uleb without its last byte", 8, [](DVCRDwarfCursor* c) { EXPECT_EQ(DVCRParseULEB128AndAdvance(c), 0u); }},
      {"string without its NUL", 10, [](DVCRDwarfCursor* c) { EXPECT_EQ(DVCRParseStringAndAdvance(c), nullptr); }},
      {"64-bit record length", 8, [](DVCRDwarfCursor* c) { DVCRParseRecordLengthAndAdvance(c); }},
      {"encoded pointer", 5,
       [](DVCRDwarfCursor* c) { EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(c, 0x04), kDVCRInvalidAddress); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DVCRDwarfCursor cursor = DVCRDwarfCursorMake(at(bytes), c.allowed);
    c.read(&cursor);
    EXPECT_TRUE(cursor.failed);
    EXPECT_EQ(cursor.position, cursor.end);
    EXPECT_EQ(DVCRParseUint8AndAdvance(&cursor), 0u) << "a failed cursor stays failed";
  }
  // An unmapped page gives a failed read, not a fault.
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(page, MAP_FAILED);
  DVCRDwarfCursor unmapped = DVCRDwarfCursorMake(reinterpret_cast<uintptr_t>(page), 4096);
  EXPECT_EQ(DVCRParseStringAndAdvance(&unmapped), nullptr);
  EXPECT_TRUE(unmapped.failed);
  munmap(page, 4096);
  EXPECT_TRUE(DVCRDwarfCursorMake(UINTPTR_MAX - 4, 16).failed) << "a range past the top of memory";
}

// The cursor copies the bytes ahead of it in bulk: bytes it may read that
// cannot be read must not fail the ones before them.
TEST(DwarfReadersTest, BytesBeforeAnUnreadablePageReadWhateverLiesBehindThem) {
  const size_t page = 4096;
  auto* base = static_cast<uint8_t*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(base, MAP_FAILED);
  ASSERT_EQ(mprotect(base + page, page, PROT_NONE), 0);
  // A ULEB128, a 32-bit word and a string ending at the page's last byte.
  uint8_t* start = base + page - 10;
  const uint8_t bytes[] = {0xE5, 0x8E, 0x26, 0x78, 0x56, 0x34, 0x12, 'a', 'b', 0};
  std::copy(std::begin(bytes), std::end(bytes), start);
  DVCRDwarfCursor cursor = DVCRDwarfCursorMake(reinterpret_cast<uintptr_t>(start), 64);  // 54 bytes unreadable
  EXPECT_EQ(DVCRParseULEB128AndAdvance(&cursor), 624485u);
  EXPECT_EQ(DVCRParseUint32AndAdvance(&cursor), 0x12345678u);
  const char* text = DVCRParseStringAndAdvance(&cursor);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "ab");
  EXPECT_FALSE(cursor.failed);
  EXPECT_EQ(DVCRParseUint8AndAdvance(&cursor), 0u) << "the unreadable page itself";
  EXPECT_TRUE(cursor.failed);
  munmap(base, 2 * page);
}

TEST(DwarfReadersTest, PointerEncodings) {
  ByteWriter w;
  w.u32(0x1000).u16(0xFFFE).u64(0x123456789).sleb(-3).u32(0xFFFFFFF0);
  DVCRDwarfCursor cursor = over(w.bytes);
  EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(&cursor, 0xFF), 0u) << "omitted";
  EXPECT_EQ(cursor.position, at(w.bytes));
  EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(&cursor, 0x13), at(w.bytes) + 0x1000) << "pc-relative udata4";
  EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(&cursor, 0x0A), uint64_t(-2)) << "sdata2";
  EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(&cursor, 0x04), 0x123456789u);
  EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(&cursor, 0x09), uint64_t(-3));
  const uintptr_t field = cursor.position;
  EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(&cursor, 0x1B), field - 16) << "pc-relative sdata4";
  cursor = over(w.bytes);
  EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(&cursor, 0x05), kDVCRInvalidAddress) << "unknown format";
  cursor = over(w.bytes);
  EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(&cursor, 0x33), kDVCRInvalidAddress) << "data-relative";
  // Indirect: the pointer is read through the value, safely.
  uint64_t target = 0xABCDEF;
  ByteWriter indirect;
  indirect.u64(reinterpret_cast<uint64_t>(&target)).u64(0);
  cursor = over(indirect.bytes);
  EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(&cursor, 0x80), 0xABCDEFu);
  EXPECT_EQ(DVCRParseAddressWithEncodingAndAdvance(&cursor, 0x80), kDVCRInvalidAddress) << "through null";
}

TEST(DwarfRecordsTest, ZRCIEGivesPCRelativeFunctionStarts) {
  CraftedCFI cfi(CraftedCFI::standardCIE(), {{kFunction, 0x40, {}}, {kFunction + 0x40, 0x20, {}}});
  DVCRDwarfCFIRecord record;
  ASSERT_TRUE(DVCRDwarfParseFDEAtOffset(&record, cfi.section(), cfi.fdeOffset(1)));
  EXPECT_STREQ(record.cie.augmentation, "zR");
  EXPECT_EQ(record.cie.pointerEncoding, 0x1B);
  EXPECT_EQ(record.cie.codeAlignFactor, 1u);
  EXPECT_EQ(record.cie.dataAlignFactor, -8);
  EXPECT_EQ(record.cie.returnAddressRegister, 16u);
  EXPECT_EQ(record.fde.pcStart, kFunction + 0x40);
  EXPECT_EQ(record.fde.rangeSize, 0x20u);
  EXPECT_EQ(record.fde.instructions.length, 0u);

  // The header's table finds each function's FDE.
  DVCREHFrameHeader header;
  ASSERT_TRUE(DVCREHFrameHeaderInit(&header, cfi.header()));
  EXPECT_EQ(header.ehFrame, cfi.ehFrame());
  uintptr_t fde = 0;
  ASSERT_TRUE(DVCREHFrameHeaderFindFDE(header, kFunction + 0x3F, &fde));
  EXPECT_EQ(fde, cfi.fde(0));
  ASSERT_TRUE(DVCREHFrameHeaderFindFDE(header, kFunction + 0x40, &fde));
  EXPECT_EQ(fde, cfi.fde(1));
  EXPECT_FALSE(DVCREHFrameHeaderFindFDE(header, kFunction - 1, &fde));
}

TEST(DwarfRecordsTest, MalformedRecordsAreRefused) {
  struct Case {
    const char* name;
    std::vector<uint8_t> cie;  // after the length
  } cases[] = {
      {"version 2", {0, 0, 0, 0, 2, 0, 1, 0x78, 16}},
      {"augmentation without z", {0, 0, 0, 0, 1, 'e', 'h', 0, 1, 0x78, 16}},
      {"unknown letter", {0, 0, 0, 0, 1, 'z', 'Q', 0, 1, 0x78, 16, 1, 0}},
      {"letters past the data", {0, 0, 0, 0, 1, 'z', 'R', 'L', 0, 1, 0x78, 16, 1, 0x1B, 0x1B}},
  };
  for (const Case& c : cases) {
    ByteWriter w;
    w.u32(static_cast<uint32_t>(c.cie.size())).append(c.cie);
    DVCRDwarfCIERecord cie;
    EXPECT_FALSE(DVCRDwarfParseCIERecord(&cie, at(w.bytes), sectionOf(w.bytes))) << c.name;
  }
  ByteWriter empty;
  empty.u32(0).u32(0);
  DVCRDwarfCIERecord cie;
  EXPECT_FALSE(DVCRDwarfParseCIERecord(&cie, at(empty.bytes), sectionOf(empty.bytes)));
  DVCRDwarfFDERecord fde;
  EXPECT_FALSE(DVCRDwarfParseFDERecord(&fde, true, &cie, at(empty.bytes), sectionOf(empty.bytes))) << "zero length";
  ByteWriter noCIE;
  noCIE.u32(8).u32(0).u32(0);
  EXPECT_FALSE(DVCRDwarfParseFDERecord(&fde, true, &cie, at(noCIE.bytes), sectionOf(noCIE.bytes))) << "CIE offset 0";
}

// Records of a damaged table, each at the very end of readable memory: a
// read past the section would fault the test. Every one is refused.
TEST(DwarfRecordsTest, HostileRecordsAreRefusedWithoutReadingOutsideTheirSection) {
  auto cieBytes = [](std::vector<uint8_t> tail, uint32_t length = 0) {
    ByteWriter body;
    body.u32(0).u8(1).append({'z', 'R', 0}).uleb(1).sleb(-8).u8(16).uleb(1).u8(0x1B).append(tail);
    ByteWriter w;
    w.u32(length != 0 ? length : static_cast<uint32_t>(body.size())).append(body.bytes);
    return w.bytes;
  };
  // A CIE, then an FDE pointing back to it with `cieOffset` and the given
  // length (0: its own) and instructions.
  auto table = [&](uint32_t cieOffset, uint32_t length, std::vector<uint8_t> instructions) {
    ByteWriter w;
    w.append(cieBytes({}));
    ByteWriter body;
    body.u32(cieOffset != 0 ? cieOffset : static_cast<uint32_t>(w.size() + 4)).u32(0).u32(0x100).uleb(0);
    body.append(instructions);
    w.u32(length != 0 ? length : static_cast<uint32_t>(body.size())).append(body.bytes);
    return w.bytes;
  };
  const size_t fde = cieBytes({}).size();
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t offset;  // of the record to parse
    bool cie;       // parsed as a CIE rather than an FDE
  } cases[] = {
      {"CIE pointer 4 GiB back", table(0xFFFFFFF0, 0, {}), fde, false},
      {"CIE pointer one byte before the section", table(static_cast<uint32_t>(fde + 5), 0, {}), fde, false},
      {"FDE length past the section", table(0, 0x7FFFFFF0, {}), fde, false},
      {"64-bit length past the section", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0}, 0, true},
      {"augmentation without its NUL", {9, 0, 0, 0, 0, 0, 0, 0, 1, 'z', 'z', 'z', 'z'}, 0, true},
      {"fields past the CIE's length", cieBytes({}, 5), 0, true},
      {"augmentation data past the record", cieBytes({}, 12), 0, true},
      {"expression past the instructions", table(0, 0, {0x10, 0x06, 0x7F, 0x06}), fde, false},
      {"operand past the instructions", table(0, 0, {0x0C, 0x07}), fde, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GuardedBuffer guarded(c.bytes);
    const DVCRDwarfSection section{reinterpret_cast<uintptr_t>(guarded.data()), c.bytes.size()};
    const uintptr_t record = section.start + c.offset;
    if (c.cie) {
      DVCRDwarfCIERecord cie;
      EXPECT_FALSE(DVCRDwarfParseCIERecord(&cie, record, section));
      continue;
    }
    DVCRDwarfCFIRecord parsed;
    if (!DVCRDwarfParseFDEAtOffset(&parsed, section, c.offset)) continue;
    // Parsed: its rules fail instead of running past the end.
    DVCRDwarfState state;
    EXPECT_FALSE(DVCRDwarfRulesForPC(parsed, parsed.fde.pcStart, &state));
  }
}

TEST(DwarfInstructionsTest, OffsetsThatOverflowAreRefused) {
  struct Case {
    const char* name;
    std::vector<uint8_t> instructions;
  } cases[] = {
      // 2^56 - 1 times -2^40 does not fit 64 bits.
      {"DW_CFA_offset", {0x86, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
      {"DW_CFA_offset_extended_sf", {0x11, 0x06, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x40}},
      {"DW_CFA_advance_loc4", {0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A data alignment of -2^40 and a code alignment of 2^40: the products
    // leave the 64-bit range.
    ByteWriter cie;
    cie.u32(0).u8(1).append({'z', 'R', 0}).uleb(uint64_t{1} << 40).sleb(-(int64_t{1} << 40)).u8(16).uleb(1).u8(0x1B);
    ByteWriter w;
    w.u32(static_cast<uint32_t>(cie.size())).append(cie.bytes);
    ByteWriter body;
    body.u32(static_cast<uint32_t>(w.size() + 4)).u32(0).u32(0x100).uleb(0).append(c.instructions);
    const size_t fde = w.size();
    w.u32(static_cast<uint32_t>(body.size())).append(body.bytes);
    GuardedBuffer guarded(w.bytes);
    const DVCRDwarfSection section{reinterpret_cast<uintptr_t>(guarded.data()), w.size()};
    DVCRDwarfCFIRecord record;
    ASSERT_TRUE(DVCRDwarfParseFDEAtOffset(&record, section, fde));
    DVCRDwarfState state;
    EXPECT_FALSE(DVCRDwarfRulesForPC(record, record.fde.pcStart + 0x80, &state));
  }
}

// The rules an FDE's instructions leave at `offset` into its function.
DVCRDwarfState rulesAt(std::vector<uint8_t> instructions, uint64_t offset, bool* ok = nullptr) {
  CraftedCFI cfi(CraftedCFI::standardCIE(), {{kFunction, 0x1000, std::move(instructions)}});
  DVCRDwarfCFIRecord record;
  EXPECT_TRUE(DVCRDwarfParseFDEAtOffset(&record, cfi.section(), cfi.fdeOffset(0)));
  DVCRDwarfState state;
  bool result = DVCRDwarfRulesForPC(record, kFunction + offset, &state);
  if (ok != nullptr)
    *ok = result;
  else
    EXPECT_TRUE(result);
  return state;
}

TEST(DwarfInstructionsTest, AdvancesAccumulateAndARowAppliesFromItsLocation) {
  // advance_loc 4, advance_loc 8, def_cfa_offset 32: the new CFA holds
  // from offset 12 on.
  const std::vector<uint8_t> instructions = {0x44, 0x48, 0x0E, 0x20};
  EXPECT_EQ(rulesAt(instructions, 0).cfaRegisterOffset, 8);
  EXPECT_EQ(rulesAt(instructions, 11).cfaRegisterOffset, 8);
  EXPECT_EQ(rulesAt(instructions, 12).cfaRegisterOffset, 32);
  EXPECT_EQ(rulesAt(instructions, 200).cfaRegisterOffset, 32);
  // The wider advances, with a code alignment of 1.
  const std::vector<uint8_t> wide = {0x02, 0x10, 0x0E, 0x10, 0x03, 0x00, 0x01, 0x0E, 0x18, 0x04, 0x00,
                                     0x00, 0x01, 0x00, 0x0E, 0x20};
  EXPECT_EQ(rulesAt(wide, 0x0F).cfaRegisterOffset, 8);
  EXPECT_EQ(rulesAt(wide, 0x10).cfaRegisterOffset, 16);
  EXPECT_EQ(rulesAt(wide, 0x110).cfaRegisterOffset, 24);
  bool ok;
  rulesAt(wide, 0x1000, &ok);
  EXPECT_TRUE(ok);
}

TEST(DwarfInstructionsTest, RegisterRules) {
  const std::vector<uint8_t> instructions = {
      0x41, 0x0E, 0x10, 0x86, 0x02,  // +1: CFA rsp+16, rbp at CFA-16
      0x41, 0x0D, 0x06,              // +2: CFA rbp+16
      0x41, 0x11, 0x03, 0x7D,        // +3: rbx at CFA+24 (offset_extended_sf -3 x -8)
      0x41, 0x09, 0x0C, 0x05,        // +4: r12 in rdi
      0x41, 0x0A,                    // +5: remember
      0x0C, 0x07, 0x08, 0xC6,        //     CFA rsp+8, rbp back to the CIE's rule
      0x07, 0x10,                    //     return address undefined
      0x41, 0x0B,                    // +6: restore what was remembered
      0x41, 0x08, 0x03,              // +7: rbx keeps its value
      0x41, 0x10, 0x0E, 0x02, 0x77, 0x08,  // +8: r14 at the expression breg7 + 8
      0x41, 0x16, 0x0F, 0x01, 0x31,        // +9: r15 is the expression lit1
  };
  DVCRDwarfState s = rulesAt(instructions, 1);
  EXPECT_EQ(s.cfaRegister, 7u);
  EXPECT_EQ(s.cfaRegisterOffset, 16);
  EXPECT_EQ(s.registers[6].location, kDVCRDwarfRegisterAtCFAPlusOffset);
  EXPECT_EQ(s.registers[6].value, -16);
  EXPECT_EQ(s.registers[16].location, kDVCRDwarfRegisterAtCFAPlusOffset);
  EXPECT_EQ(s.registers[16].value, -8);

  s = rulesAt(instructions, 4);
  EXPECT_EQ(s.cfaRegister, 6u);
  EXPECT_EQ(s.registers[3].location, kDVCRDwarfRegisterAtCFAPlusOffset);
  EXPECT_EQ(s.registers[3].value, 24);
  EXPECT_EQ(s.registers[12].location, kDVCRDwarfRegisterInRegister);
  EXPECT_EQ(s.registers[12].value, 5);

  s = rulesAt(instructions, 5);
  EXPECT_EQ(s.cfaRegister, 7u);
  EXPECT_EQ(s.cfaRegisterOffset, 8);
  EXPECT_EQ(s.registers[6].location, kDVCRDwarfRegisterUnused) << "restored to the CIE's rule";
  EXPECT_EQ(s.registers[16].location, kDVCRDwarfRegisterUndefined);

  s = rulesAt(instructions, 6);
  EXPECT_EQ(s.cfaRegister, 6u) << "the CFA rule is remembered too";
  EXPECT_EQ(s.cfaRegisterOffset, 16);
  EXPECT_EQ(s.registers[6].value, -16);
  EXPECT_EQ(s.registers[16].location, kDVCRDwarfRegisterAtCFAPlusOffset);

  s = rulesAt(instructions, 9);
  EXPECT_EQ(s.registers[3].location, kDVCRDwarfRegisterUnused);
  EXPECT_EQ(s.registers[14].location, kDVCRDwarfRegisterAtExpression);
  EXPECT_EQ(s.registers[15].location, kDVCRDwarfRegisterIsExpression);
}

TEST(DwarfInstructionsTest, InstructionsOutsideTheSubsetFailTheRun) {
  struct Case {
    const char* name;
    std::vector<uint8_t> instructions;
  } cases[] = {
      {"offset_extended", {0x05, 0x03, 0x02}},
      {"restore_extended", {0x06, 0x03}},
      {"def_cfa_sf", {0x12, 0x07, 0x02}},
      {"def_cfa_offset_sf", {0x13, 0x02}},
      {"val_offset", {0x14, 0x03, 0x02}},
      {"GNU_window_save", {0x2D}},
      {"unknown", {0x1C}},
      {"register 32", {0x0D, 0x20}},
      {"offset of register 40", {0x11, 0x28, 0x01}},
      {"restore_state with nothing remembered", {0x0B}},
      {"remember_state nested five deep", {0x0A, 0x0A, 0x0A, 0x0A, 0x0A}},
  };
  for (const Case& c : cases) {
    bool ok = true;
    rulesAt(c.instructions, 0x10, &ok);
    EXPECT_FALSE(ok) << c.name;
  }
  // The run stops at the PC: what lies beyond is never read.
  bool ok = false;
  rulesAt({0x41, 0x2D}, 0, &ok);
  EXPECT_TRUE(ok);
  // GNU_args_size changes no rule.
  EXPECT_EQ(rulesAt({0x2E, 0x10, 0x0E, 0x18}, 0, &ok).cfaRegisterOffset, 24);
  EXPECT_TRUE(ok);
}

uint64_t evaluate(std::vector<uint8_t> expression, const DVCRThreadState* registers, uint64_t initial, bool* ok) {
  ByteWriter w;
  w.uleb(expression.size()).append(expression);
  uint64_t result = 0;
  *ok = DVCRDwarfEvalulateExpression(at(w.bytes), registers, initial, &result);
  return result;
}

TEST(DwarfExpressionTest, Opcodes) {
  DVCRThreadState registers{};
  registers.gregs[REG_RSP] = 0x1000;
  registers.gregs[REG_RBX] = 0xF0;
  uint64_t word = 0x1122334455667788;
  const auto wordAddress = reinterpret_cast<uint64_t>(&word);
  struct Case {
    const char* name;
    std::vector<uint8_t> expression;
    uint64_t initial;
    uint64_t expected;
  } cases[] = {
      {"initial value", {0x12, 0x22}, 5, 10},                         // dup, plus
      {"breg7 + 16", {0x77, 0x10}, 0, 0x1010},                        // rsp + 16
      {"breg3 - 16", {0x73, 0x70}, 0, 0xE0},                          // rbx - 16
      {"plus_uconst", {0x23, 0x80, 0x01}, 1, 129},
      {"lit and swap", {0x3F, 0x16}, 7, 7},                          // lit15, swap: 7 on top
      {"and", {0x3C, 0x1A}, 0x1F, 12},                                // 0x1F & 12
      {"ne", {0x35, 0x2E}, 5, 0},
      {"ne differs", {0x34, 0x2E}, 5, 1},
      {"deref", {0x06}, wordAddress, 0x1122334455667788},
      {"deref_size 1", {0x94, 1}, wordAddress, 0x88},
      {"deref_size 2", {0x94, 2}, wordAddress, 0x7788},
      {"deref_size 4", {0x94, 4}, wordAddress, 0x55667788},
  };
  for (const Case& c : cases) {
    bool ok;
    EXPECT_EQ(evaluate(c.expression, &registers, c.initial, &ok), c.expected) << c.name;
    EXPECT_TRUE(ok) << c.name;
  }
}

TEST(DwarfExpressionTest, BadExpressionsFail) {
  DVCRThreadState registers{};
  struct Case {
    const char* name;
    std::vector<uint8_t> expression;
    uint64_t initial;
  } cases[] = {
      {"pops more than was pushed", {0x22}, 1},
      {"pops more, then pushes", {0x22, 0x30}, 1},
      {"unknown opcode", {0x24}, 1},  // DW_OP_shl
      {"deref_size 3", {0x94, 3}, 0x10000},
      {"deref below one page", {0x06}, 0x10},
  };
  for (const Case& c : cases) {
    bool ok = true;
    evaluate(c.expression, &registers, c.initial, &ok);
    EXPECT_FALSE(ok) << c.name;
  }
  // Memory that cannot be read fails the expression, never the process.
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(page, MAP_FAILED);
  for (uint8_t size : {1, 2, 4, 8}) {
    bool ok = true;
    evaluate({0x94, size}, &registers, reinterpret_cast<uint64_t>(page), &ok);
    EXPECT_FALSE(ok) << "deref_size " << int(size);
  }
  munmap(page, 4096);
  // 100 entries and no more.
  std::vector<uint8_t> fill(99, 0x30);
  bool ok;
  evaluate(fill, &registers, 0, &ok);
  EXPECT_TRUE(ok);
  fill.push_back(0x30);
  evaluate(fill, &registers, 0, &ok);
  EXPECT_FALSE(ok);
  // A zero length, and an operand running past the end.
  std::vector<uint8_t> zero = {0x00};
  uint64_t result;
  EXPECT_FALSE(DVCRDwarfEvalulateExpression(at(zero), &registers, 0, &result));
  std::vector<uint8_t> overrun = {0x01, 0x23, 0x80, 0x01};
  EXPECT_FALSE(DVCRDwarfEvalulateExpression(at(overrun), &registers, 0, &result));
}

// A stack of words, and registers pointing into it.
struct CraftedFrame {
  std::vector<uint64_t> stack;
  DVCRThreadState registers{};
  explicit CraftedFrame(std::vector<uint64_t> words, uint64_t pc) : stack(std::move(words)) {
    registers.gregs[REG_RSP] = static_cast<greg_t>(reinterpret_cast<uint64_t>(stack.data()));
    registers.gregs[REG_RIP] = static_cast<greg_t>(pc);
  }
  uint64_t address(size_t index) const { return reinterpret_cast<uint64_t>(&stack[index]); }
};

TEST(DwarfUnwindTest, RestoresTheCallersRegisters) {
  // push rbp at +1, then a 16-byte frame at +5.
  CraftedCFI cfi(CraftedCFI::standardCIE(), {{kFunction, 0x100, {0x41, 0x0E, 0x10, 0x86, 0x02, 0x44, 0x0E, 0x20}}});
  DVCRDwarfCFIRecord record;
  ASSERT_TRUE(DVCRDwarfParseFDEAtOffset(&record, cfi.section(), cfi.fdeOffset(0)));

  CraftedFrame frame({0, 0, 0x5151, 0x7f0000009999, 0x42}, kFunction + 0x20);
  frame.registers.gregs[REG_RBP] = 3;
  ASSERT_TRUE(DVCRDwarfUnwindComputeRegisters(record, &frame.registers));
  EXPECT_EQ(DVCRThreadContextGetPC(&frame.registers), 0x7f0000009999u);
  EXPECT_EQ(DVCRThreadContextGetStackPointer(&frame.registers), frame.address(4));
  EXPECT_EQ(frame.registers.gregs[REG_RBP], 0x5151);

  // At the first byte the return address is at the stack pointer.
  CraftedFrame entry({0x7f0000008888, 7}, kFunction);
  ASSERT_TRUE(DVCRDwarfUnwindComputeRegisters(record, &entry.registers));
  EXPECT_EQ(DVCRThreadContextGetPC(&entry.registers), 0x7f0000008888u);
  EXPECT_EQ(DVCRThreadContextGetStackPointer(&entry.registers), entry.address(1));
}

TEST(DwarfUnwindTest, AStepThatCannotMoveFails) {
  struct Case {
    const char* name;
    std::vector<uint8_t> instructions;
  } cases[] = {
      {"return address keeps its value", {0x08, 0x10}},
      {"CFA is the stack pointer", {0x0E, 0x00}},
      {"return address below the stack", {0x90, 0x7F}},  // unreadable: far below
      {"PLT-style CFA expression", {0x0F, 0x05, 0x77, 0x08, 0x80, 0x00, 0x24}},
  };
  for (const Case& c : cases) {
    CraftedCFI cfi(CraftedCFI::standardCIE(), {{kFunction, 0x100, c.instructions}});
    DVCRDwarfCFIRecord record;
    ASSERT_TRUE(DVCRDwarfParseFDEAtOffset(&record, cfi.section(), cfi.fdeOffset(0)));
    // A stack pointer low in memory, with the return address at it equal to the PC.
    std::vector<uint64_t> words = {kFunction + 4, 0};
    CraftedFrame frame(words, kFunction + 4);
    if (c.instructions[0] == 0x90) frame.registers.gregs[REG_RSP] = 0x1000 + 0x7F * 8;
    const DVCRThreadState before = frame.registers;
    EXPECT_FALSE(DVCRDwarfUnwindComputeRegisters(record, &frame.registers)) << c.name;
    EXPECT_EQ(memcmp(&before, &frame.registers, sizeof before), 0) << c.name << ": registers untouched";
  }
  // An undefined return address is the end of the stack: the PC becomes 0.
  CraftedCFI cfi(CraftedCFI::standardCIE(), {{kFunction, 0x100, {0x07, 0x10}}});
  DVCRDwarfCFIRecord record;
  ASSERT_TRUE(DVCRDwarfParseFDEAtOffset(&record, cfi.section(), cfi.fdeOffset(0)));
  CraftedFrame last({0x1234, 0}, kFunction + 4);
  ASSERT_TRUE(DVCRDwarfUnwindComputeRegisters(record, &last.registers));
  EXPECT_EQ(DVCRThreadContextGetPC(&last.registers), 0u);
}

}  // namespace
}  // namespace dvcr_testing
