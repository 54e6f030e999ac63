// Byte readers for call-frame information. Each takes a cursor, the address
// of the next byte, and advances it past what it read. They read memory
// directly: callers hand them only tables already found sound.
#pragma once

#include <cstdint>

// The all-ones results of a pointer read that could not be decoded; callers
// treat both as invalid.
inline constexpr uint64_t kDVCRInvalidAddress = ~uint64_t{0};
inline constexpr uint64_t kDVCRInvalidAddressLess1 = ~uint64_t{0} - 1;
inline bool DVCRIsInvalidAddress(uint64_t value) {
  return value == kDVCRInvalidAddress || value == kDVCRInvalidAddressLess1;
}

uint8_t DVCRParseUint8AndAdvance(uintptr_t* cursor);
uint16_t DVCRParseUint16AndAdvance(uintptr_t* cursor);
uint32_t DVCRParseUint32AndAdvance(uintptr_t* cursor);
uint64_t DVCRParseUint64AndAdvance(uintptr_t* cursor);
// LEB128 of at most 8 bytes (56 bits of value); the cursor still moves past
// a longer one, whose further bits are dropped. The signed form
// sign-extends from bit 6 of its last byte.
uint64_t DVCRParseULEB128AndAdvance(uintptr_t* cursor);
int64_t DVCRParseLEB128AndAdvance(uintptr_t* cursor);
// The string's own address; the cursor moves past its NUL.
const char* DVCRParseStringAndAdvance(uintptr_t* cursor);
// A 32-bit length; 0xFFFFFFFF announces a 64-bit one.
uint64_t DVCRParseRecordLengthAndAdvance(uintptr_t* cursor);

// A pointer in a DWARF pointer encoding: 0xFF (omit) gives 0; value formats
// 0x0/0x4/0xC (8 bytes), 0x1 (ULEB128), 0x2/0x3 (16/32-bit), 0x9 (LEB128),
// 0xA/0xB (signed 16/32-bit); applied as read (0x00) or relative to where
// the value began (0x10); bit 0x80 reads the pointer through it (safely).
// Anything else logs and gives kDVCRInvalidAddress.
uint64_t DVCRParseAddressWithEncodingAndAdvance(uintptr_t* cursor, uint8_t encoding);
