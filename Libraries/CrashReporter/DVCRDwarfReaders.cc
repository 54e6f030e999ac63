#include "Libraries/CrashReporter/DVCRDwarfReaders.h"

#include <cstring>

#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

namespace {

bool fail(DVCRDwarfCursor* cursor) {
  cursor->failed = true;
  cursor->position = cursor->end;
  return false;
}

// `length` bytes at the cursor into `destination`, or a failed cursor.
bool take(DVCRDwarfCursor* cursor, void* destination, size_t length) {
  if (cursor->failed || cursor->position > cursor->end || cursor->end - cursor->position < length ||
      !DVCRUnwindReadMemory(cursor->position, destination, length))
    return fail(cursor);
  cursor->position += length;
  return true;
}

template <class T>
T parse(DVCRDwarfCursor* cursor) {
  T value{};
  if (!take(cursor, &value, sizeof value)) return T{};
  return value;
}

constexpr int kLEB128MaximumBytes = 8;

// The 7-bit groups of a LEB128 value; `lastByte` is its final byte.
uint64_t parseLEB128(DVCRDwarfCursor* cursor, uint8_t* lastByte, int* shift) {
  uint64_t value = 0;
  uint8_t byte;
  int count = 0;
  do {
    byte = DVCRParseUint8AndAdvance(cursor);
    if (cursor->failed) {
      *lastByte = 0;
      *shift = 0;
      return 0;
    }
    if (count < kLEB128MaximumBytes) value |= static_cast<uint64_t>(byte & 0x7F) << (7 * count);
    ++count;
  } while (byte & 0x80);
  *lastByte = byte;
  *shift = 7 * (count < kLEB128MaximumBytes ? count : kLEB128MaximumBytes);
  return value;
}

// Strings are checked this many bytes at a time.
constexpr size_t kStringChunk = 64;
// Access is granted a page at a time.
constexpr uintptr_t kPage = 4096;

}  // namespace

DVCRDwarfCursor DVCRDwarfCursorMake(uintptr_t start, uint64_t length) {
  DVCRDwarfCursor cursor{start, start, false};
  if (length > UINTPTR_MAX - start) {
    fail(&cursor);
    return cursor;
  }
  cursor.end = start + length;
  return cursor;
}

uint8_t DVCRParseUint8AndAdvance(DVCRDwarfCursor* cursor) { return parse<uint8_t>(cursor); }
uint16_t DVCRParseUint16AndAdvance(DVCRDwarfCursor* cursor) { return parse<uint16_t>(cursor); }
uint32_t DVCRParseUint32AndAdvance(DVCRDwarfCursor* cursor) { return parse<uint32_t>(cursor); }
uint64_t DVCRParseUint64AndAdvance(DVCRDwarfCursor* cursor) { return parse<uint64_t>(cursor); }

uint64_t DVCRParseULEB128AndAdvance(DVCRDwarfCursor* cursor) {
  uint8_t last;
  int shift;
  return parseLEB128(cursor, &last, &shift);
}

int64_t DVCRParseLEB128AndAdvance(DVCRDwarfCursor* cursor) {
  uint8_t last;
  int shift;
  uint64_t value = parseLEB128(cursor, &last, &shift);
  if ((last & 0x40) && shift < 64) value |= ~uint64_t{0} << shift;
  return static_cast<int64_t>(value);
}

const char* DVCRParseStringAndAdvance(DVCRDwarfCursor* cursor) {
  const uintptr_t start = cursor->position;
  char chunk[kStringChunk];
  while (!cursor->failed && cursor->position < cursor->end) {
    const uint64_t left = cursor->end - cursor->position;
    size_t count = left < sizeof chunk ? static_cast<size_t>(left) : sizeof chunk;
    const uintptr_t at = cursor->position;
    // Not across a page boundary: the NUL may come before a page that
    // cannot be read.
    const size_t toPageEnd = static_cast<size_t>(kPage - at % kPage);
    if (count > toPageEnd) count = toPageEnd;
    if (!take(cursor, chunk, count)) return nullptr;
    if (const void* nul = memchr(chunk, '\0', count)) {
      cursor->position = at + static_cast<size_t>(static_cast<const char*>(nul) - chunk) + 1;
      return reinterpret_cast<const char*>(start);
    }
  }
  fail(cursor);
  return nullptr;
}

uint64_t DVCRParseRecordLengthAndAdvance(DVCRDwarfCursor* cursor) {
  uint64_t length = DVCRParseUint32AndAdvance(cursor);
  if (length == 0xFFFFFFFF) length = DVCRParseUint64AndAdvance(cursor);
  return length;
}

uint64_t DVCRParseAddressWithEncodingAndAdvance(DVCRDwarfCursor* cursor, uint8_t encoding) {
  if (encoding == 0xFF) return 0;
  const uintptr_t start = cursor->position;
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
  if (cursor->failed) return kDVCRInvalidAddress;
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
