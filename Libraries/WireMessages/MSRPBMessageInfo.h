// The records behind every measurement wire message.
//
// A message's values live in its message info record: one slot per field,
// in field-index order (the message's declaration order, which is not
// always tag order), a constant list of kind words saying what each slot
// holds, and the message name. A NULL slot of a singular field is an unset
// field; otherwise a slot holds
//   bool, enum, int32, uint32   an 8-byte heap cell, the 32-bit value
//                               zero-extended (readers take the low 32 bits,
//                               a bool its low byte)
//   int64, uint64, double       an 8-byte heap cell
//   float                       a 4-byte heap cell
//   string, bytes               an MSRPBStringField
//   message                     the sub-message's own MSRPBMessageInfo
//   any repeated field          an MSRPBRepeatedField whose elements are
//                               shaped like the slot of a singular field
//                               of the element type
// Every repeated field's record exists from initialisation on, empty
// (count 0, no element array); clearing it empties it. A record owns
// everything reachable from its slots. Records are made with `new` by the
// coders (MSRPBMessageTable.h), which also free them.
#pragma once

#include <cstdint>

// Kind word = one label bit | one type bit.
enum : int32_t {
  MSRPBKindSingular = 0x2,  // optional, with presence
  MSRPBKindRepeated = 0x8,
  MSRPBKindBool = 0x20,
  MSRPBKindEnum = 0x40,
  MSRPBKindInt32 = 0x80,
  MSRPBKindUInt32 = 0x100,
  MSRPBKindInt64 = 0x200,
  MSRPBKindUInt64 = 0x400,
  MSRPBKindFloat = 0x800,
  MSRPBKindDouble = 0x1000,
  MSRPBKindString = 0x2000,
  MSRPBKindMessage = 0x4000,
  MSRPBKindBytes = 0x8000,
};
inline constexpr int32_t MSRPBKindLabelMask = MSRPBKindSingular | MSRPBKindRepeated;
inline constexpr int32_t MSRPBKindTypeMask = 0xffe0;
// The type bit of a kind word.
constexpr int32_t MSRPBKindType(int32_t kind) { return kind & MSRPBKindTypeMask; }

// How many message levels a decoded message may hold below itself (a
// singular sub-message or a repeated-message element is one level more
// than its parent). Messages such as EventParam nest themselves, so input
// could otherwise make decoding, copying, encoding and freeing recurse
// without bound. Readers of trees taken from these messages share it.
inline constexpr int32_t MSRPBMaxNestingDepth = 100;

// The longest singular string a decode accepts (exactly this is accepted).
inline constexpr uint32_t MSRPBMaxStringLength = 1048576;

struct MSRPBMessageInfo {
  void** fields = nullptr;          // one slot per field, owned
  const int32_t* kinds = nullptr;   // the message's kind words, shared
  const char* name = nullptr;       // the message name, e.g. "Event"
};

// A string or bytes value. `bytes` is never NULL for a value that was
// set, also an empty one, and holds `length` bytes and a terminating zero.
struct MSRPBStringField {
  uint32_t length = 0;
  uint8_t* bytes = nullptr;
};

// A repeated field: `count` element slots. `fill` is where the second
// decode pass stores the next element.
struct MSRPBRepeatedField {
  uint32_t fill = 0;
  uint32_t count = 0;
  void** elements = nullptr;
};

// Each message's coder family, as its objects hand them out. Success is 1,
// failure 0.
using MSRPBInitMessageInfoFn = int (*)(MSRPBMessageInfo* info);
using MSRPBDeallocMessageFieldFn = int (*)(MSRPBMessageInfo* info, int32_t index);
using MSRPBDeallocMessageInfoFn = void (*)(MSRPBMessageInfo* info);
using MSRPBCopyMessageInfoFn = int (*)(MSRPBMessageInfo** destination, const MSRPBMessageInfo* source);
