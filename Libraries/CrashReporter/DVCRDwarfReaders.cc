#include "Libraries/CrashReporter/DVCRDwarfReaders.h"

#include <cstring>

#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

namespace {

template <class T>
T parse(uintptr_t* cursor) {
  T value;
  memcpy(&value, reinterpret_cast<const void*>(*cursor), sizeof value);
  *cursor += sizeof value;
  return value;
}

constexpr int kLEB128MaximumBytes = 8;

// The 7-bit groups of a LEB128 value; `lastByte` is its final byte.
uint64_t parseLEB128(uintptr_t* cursor, uint8_t* lastByte, int* shift) {
  uint64_t value = 0;
  uint8_t byte;
  int count = 0;
  do {
    byte = DVCRParseUint8AndAdvance(cursor);
    if (count < kLEB128MaximumBytes) value |= static_cast<uint64_t>(byte & 0x7F) << (7 * count);
    ++count;
  } while (byte & 0x80);
  *lastByte = byte;
  *shift = 7 * (count < kLEB128MaximumBytes ? count : kLEB128MaximumBytes);
  return value;
}

}  // namespace

uint8_t DVCRParseUint8AndAdvance(uintptr_t* cursor) { return parse<uint8_t>(cursor); }
uint16_t DVCRParseUint16AndAdvance(uintptr_t* cursor) { return parse<uint16_t>(cursor); }
uint32_t DVCRParseUint32AndAdvance(uintptr_t* cursor) { return parse<uint32_t>(cursor); }
uint64_t DVCRParseUint64AndAdvance(uintptr_t* cursor) { return parse<uint64_t>(cursor); }

uint64_t DVCRParseULEB128AndAdvance(uintptr_t* cursor) {
  uint8_t last;
  int shift;
  return parseLEB128(cursor, &last, &shift);
}

int64_t DVCRParseLEB128AndAdvance(uintptr_t* cursor) {
  uint8_t last;
  int shift;
  uint64_t value = parseLEB128(cursor, &last, &shift);
  if ((last & 0x40) && shift < 64) value |= ~uint64_t{0} << shift;
  return static_cast<int64_t>(value);
}

const char* DVCRParseStringAndAdvance(uintptr_t* cursor) {
  const char* string = reinterpret_cast<const char*>(*cursor);
  *cursor += strlen(string) + 1;
  return string;
}

uint64_t DVCRParseRecordLengthAndAdvance(uintptr_t* cursor) {
  uint64_t length = DVCRParseUint32AndAdvance(cursor);
  if (length == 0xFFFFFFFF) length = DVCRParseUint64AndAdvance(cursor);
  return length;
}

uint64_t DVCRParseAddressWithEncodingAndAdvance(uintptr_t* cursor, uint8_t encoding) {
  if (encoding == 0xFF) return 0;
  const uintptr_t start = *cursor;
  uint64_t value;
  switch (encoding & 0x0F) {
    case 0x0:
    case 0x4:
    case 0xC: value = DVCRParseUint64AndAdvance(cursor); break;
    case 0x1: value = DVCRParseULEB128AndAdvance(cursor); break;
    case 0x2: value = DVCRParseUint16AndAdvance(cursor); break;
    case 0x3: value = DVCRParseUint32AndAdvance(cursor); break;
    case 0x9: value = static_cast<uint64_t>(DVCRParseLEB128AndAdvance(cursor)); break;
    case 0xA: value = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int16_t>(DVCRParseUint16AndAdvance(cursor)))); break;
    case 0xB: value = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(DVCRParseUint32AndAdvance(cursor)))); break;
    default:
      DVCRSDKLogWarn("Unhandled: encoding 0x%02x\n", static_cast<unsigned>(encoding));
      return kDVCRInvalidAddress;
  }
  switch (encoding & 0x70) {
    case 0x00: break;
    case 0x10: value += start; break;
    default:
      DVCRSDKLogWarn("Unhandled: relative encoding 0x%02x\n", static_cast<unsigned>(encoding));
      return kDVCRInvalidAddress;
  }
  if (encoding & 0x80) {
    // The pointer lives elsewhere, in memory that may be unmapped.
    uint64_t target;
    if (value == 0 || !DVCRUnwindReadMemory(value, &target, sizeof target)) return kDVCRInvalidAddress;
    value = target;
  }
  return value;
}
