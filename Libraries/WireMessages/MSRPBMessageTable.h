// The one coder of every measurement wire message, driven by a table per
// message.
//
// A message is its table (name, fields in index order: kind word, tag,
// element table for message fields, name for repeated fields) and its
// entry in a .proto beside the library, compiled by nanopb; nothing else is
// written per message. MSRPB_DECLARE_MESSAGE (here) and
// MSRPB_DEFINE_MESSAGE (MSRPBMessageDefinition.h) make from it the
// message's class `MSRPB<Name>` (MSRPBMessage.h) and its coder family
// `MSRPB<Name>InitMessageInfo`, ...DeallocMessageField,
// ...DeallocMessageInfo, ...CopyMessageInfo, ...Decode and ...Encode, thin
// calls of the MSRPBTable... functions below with the message's table.
//
// The table is checked against nanopb's description of the message the
// first time it is used (a mismatch is a programming error and throws
// ns::Exception); MSRPBCheckMessageTable gives the same check as a text.
//
// Texts: the coder's failure lines ("<ERROR> ... decoder failed: ...\n")
// go to the coder output (MSRPBTextOutput.h), standard output by default.
// Nothing here locks: one record is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Libraries/WireMessages/MSRPBMessageInfo.h"
#include "Platform/Foundation/Value.h"

struct pb_msgdesc_s;
struct MSRPBMessageTable;
struct MSRPBLayoutCache;

struct MSRPBFieldEntry {
  int32_t kind;
  uint32_t tag;
  const MSRPBMessageTable* element = nullptr;  // message fields: the element's table
  const char* name = nullptr;                  // repeated fields: the field's name
};

struct MSRPBMessageFamily {
  MSRPBInitMessageInfoFn initMessageInfo;
  MSRPBDeallocMessageFieldFn deallocMessageField;
  MSRPBDeallocMessageInfoFn deallocMessageInfo;
  MSRPBCopyMessageInfoFn copyMessageInfo;
};

struct MSRPBMessageTable {
  const char* name;                  // without prefix, e.g. "Event"
  const pb_msgdesc_s* descriptor;    // nanopb's description of the message
  size_t codecSize;                  // bytes of nanopb's struct of the message
  const MSRPBFieldEntry* fields;     // fieldCount entries, in index order
  const int32_t* kinds;              // their kind words, in index order
  int32_t fieldCount;
  MSRPBMessageFamily family;
  MSRPBLayoutCache* layout;          // worked out on first use
};

// Sets the record's name and kinds and gives it fieldCount NULL slots and
// an empty repeated record per repeated field. 0 only for a NULL record.
int MSRPBTableInitMessageInfo(const MSRPBMessageTable& table, MSRPBMessageInfo* info);
// Frees one field and leaves its slot NULL; a repeated field is emptied.
// An index outside 0..N-1 prints "<ERROR> %s: Cannot deallocate field %d:
// Unknown field\n" and gives 0.
int MSRPBTableDeallocMessageField(const MSRPBMessageTable& table, MSRPBMessageInfo* info, int32_t index);
// Frees every field, the slots and the record itself (made with new).
void MSRPBTableDeallocMessageInfo(const MSRPBMessageTable& table, MSRPBMessageInfo* info);
// Frees what *destination holds, makes a new record there and deep-copies
// every set field of `source` into it. 0 for a NULL source or destination.
int MSRPBTableCopyMessageInfo(const MSRPBMessageTable& table, MSRPBMessageInfo** destination,
                              const MSRPBMessageInfo* source);
// Replaces the record's fields with the message in the bytes. On failure
// (printed) the record holds part of the input: free it, do not use it.
int MSRPBTableDecode(const MSRPBMessageTable& table, const uint8_t* bytes, size_t length, MSRPBMessageInfo* info);
// Replaces *out with the encoding (ascending tag, every set singular field,
// every non-empty repeated field, integers unpacked). The byte count, or -1
// with *out emptied.
int64_t MSRPBTableEncode(const MSRPBMessageTable& table, const MSRPBMessageInfo* info, ns::Data* out);

// A new record holding a deep copy of `source` when its name is the
// table's (a new empty record for a NULL source); NULL for a record of
// another message.
MSRPBMessageInfo* MSRPBTableCopyOfRecord(const MSRPBMessageTable& table, const MSRPBMessageInfo* source);
// A new record decoded from the bytes (an empty message for none); NULL
// when decoding fails.
MSRPBMessageInfo* MSRPBTableRecordFromBytes(const MSRPBMessageTable& table, const uint8_t* bytes, size_t length);

// Empty when the table matches nanopb's description of its message: every
// index has its tag there with a matching label and type, strings and
// repeated fields are callbacks, singular scalars and sub-messages static
// with presence, and a message field's element table describes the
// field's message. Schema fields without an index must be singular static
// fields or callbacks: they are read and dropped, never written.
std::string MSRPBCheckMessageTable(const MSRPBMessageTable& table);

#define MSRPB_DECLARE_MESSAGE(Name)                                                                         \
  extern const MSRPBMessageTable MSRPB##Name##Table;                                                        \
  int MSRPB##Name##InitMessageInfo(MSRPBMessageInfo* info);                                                 \
  int MSRPB##Name##DeallocMessageField(MSRPBMessageInfo* info, int32_t index);                              \
  void MSRPB##Name##DeallocMessageInfo(MSRPBMessageInfo* info);                                             \
  int MSRPB##Name##CopyMessageInfo(MSRPBMessageInfo** destination, const MSRPBMessageInfo* source);         \
  int MSRPB##Name##Decode(const uint8_t* bytes, size_t length, MSRPBMessageInfo* info);                     \
  int64_t MSRPB##Name##Encode(const MSRPBMessageInfo* info, ns::Data* out);                                 \
  using MSRPB##Name = MSRPBMessage<MSRPB##Name##Table>;
