// Byte readers for call-frame information. Each takes a cursor confined to
// [position, end) and advances it past what it read. Every byte is read
// through the safe read (DVCRUnwindReadMemory), so a table of an image
// unmapped meanwhile, or one that points anywhere, gives a failed read,
// never a fault; and no read passes `end`.
#pragma once

#include <cstdint>

// A read that would pass `end`, or whose bytes cannot be read, marks the
// cursor failed, gives 0 and moves the cursor to `end`, so a loop over it
// stops; every later read on a failed cursor fails too.
struct DVCRDwarfCursor {
  uintptr_t position = 0;
  uintptr_t end = 0;
  bool failed = false;
};

// A cursor over `length` bytes from `start`; failed at once when that range
// wraps past the top of the address space.
DVCRDwarfCursor DVCRDwarfCursorMake(uintptr_t start, uint64_t length);

// The all-ones results of a pointer read that could not be decoded; callers
// treat both as invalid.
inline constexpr uint64_t kDVCRInvalidAddress = ~uint64_t{0};
inline constexpr uint64_t kDVCRInvalidAddressLess1 = ~uint64_t{0} - 1;
inline bool DVCRIsInvalidAddress(uint64_t value) {
  return value == kDVCRInvalidAddress || value == kDVCRInvalidAddressLess1;
}

uint8_t DVCRParseUint8AndAdvance(DVCRDwarfCursor* cursor);
uint16_t DVCRParseUint16AndAdvance(DVCRDwarfCursor* cursor);
uint32_t DVCRParseUint32AndAdvance(DVCRDwarfCursor* cursor);
uint64_t DVCRParseUint64AndAdvance(DVCRDwarfCursor* cursor);
// LEB128 of at most 8 bytes (56 bits of value); the cursor still moves past
// a longer one, whose further bits are dropped. The signed form
// sign-extends from bit 6 of its last byte.
uint64_t DVCRParseULEB128AndAdvance(DVCRDwarfCursor* cursor);
int64_t DVCRParseLEB128AndAdvance(DVCRDwarfCursor* cursor);
// The string's own address, once its NUL was found before `end`; the
// cursor moves past the NUL. Null (and a failed cursor) without one.
const char* DVCRParseStringAndAdvance(DVCRDwarfCursor* cursor);
// A 32-bit length; 0xFFFFFFFF announces a 64-bit one.
uint64_t DVCRParseRecordLengthAndAdvance(DVCRDwarfCursor* cursor);

// A pointer in a DWARF pointer encoding: 0xFF (omit) gives 0; value formats
// 0x0/0x4/0xC (8 bytes), 0x1 (ULEB128), 0x2/0x3 (16/32-bit), 0x9 (LEB128),
// 0xA/0xB (signed 16/32-bit); applied as read (0x00) or relative to where
// the value began (0x10); bit 0x80 reads the pointer through it (safely).
// Anything else, or a failed read, gives kDVCRInvalidAddress.
uint64_t DVCRParseAddressWithEncodingAndAdvance(DVCRDwarfCursor* cursor, uint8_t encoding);
