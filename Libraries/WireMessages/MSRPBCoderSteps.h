// The coder's steps: decoding between the message records and nanopb's
// structs with the stream callbacks nanopb calls for callback fields, and
// encoding the records with nanopb's writers. Internal to the runtime: the
// rest of the code uses MSRPBMessageTable.h.
//
// Every stream the coder reads is a memory buffer (nanopb's substreams of
// one are too), so a copy of a stream reads the same bytes again: that is
// how a message with repeated fields is decoded twice, first counting its
// elements, then filling exactly sized arrays.
#pragma once

#include <pb.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "Libraries/WireMessages/MSRPBFieldLayout.h"
#include "Libraries/WireMessages/MSRPBMessageTable.h"

// The encoded sizes of the nested messages of one encode, in the order
// the writing walk meets them (fields in tag order, each message before
// what it holds), so every message is sized once, not again at each level
// above it.
struct MSRPBEncodeSizes {
  std::vector<uint32_t> sizes;
  size_t next = 0;
};

// What a decode callback's argument points to: field `index` of `info`, a
// record of `table` lying `depth` levels below the outermost message.
struct MSRPBFieldArg {
  const MSRPBMessageTable* table;
  MSRPBMessageInfo* info;
  int32_t index;
  int32_t depth;
};

// A zeroed nanopb struct of one message and the arguments of its callback
// fields (its own and its singular sub-messages'): on the stack when small.
class MSRPBCodecFrame {
 public:
  MSRPBCodecFrame(const MSRPBMessageTable& table, const MSRPBLayoutCache& layout);
  MSRPBCodecFrame(const MSRPBCodecFrame&) = delete;
  MSRPBCodecFrame& operator=(const MSRPBCodecFrame&) = delete;

  bool valid() const { return codec_ != nullptr; }
  unsigned char* codec() const { return codec_; }
  MSRPBFieldArg* nextArg() { return next_ < end_ ? next_++ : nullptr; }

 private:
  alignas(std::max_align_t) unsigned char local_[512];
  std::unique_ptr<unsigned char[]> heap_;
  unsigned char* codec_ = nullptr;
  MSRPBFieldArg* next_ = nullptr;
  MSRPBFieldArg* end_ = nullptr;
};

// Frees one value of a slot or of an element (kind: the field's kind word).
void MSRPBFreeValue(int32_t kind, const MSRPBMessageTable* element, void* value);

// Decodes the stream into the record, fresh from MSRPBTableInitMessageInfo,
// as a message `depth` levels below the outermost one. Failures are
// printed.
int MSRPBDecodeRecord(const MSRPBMessageTable& table, pb_istream_t* stream, MSRPBMessageInfo* info, int32_t depth);

// The bytes the record encodes to; the sizes of its nested messages (at
// any depth) are appended to `sizes` in writing order. Absent when a
// repeated record is missing (printed) or a message outgrows 4 GiB.
std::optional<size_t> MSRPBEncodedSize(const MSRPBMessageTable& table, const MSRPBMessageInfo* info,
                                       MSRPBEncodeSizes& sizes);

// Writes the record, sized by MSRPBEncodedSize as `size` bytes with
// `sizes`, into *out. The byte count, or -1 with *out emptied.
int64_t MSRPBWriteRecord(const MSRPBMessageTable& table, const MSRPBMessageInfo* info, MSRPBEncodeSizes& sizes,
                         size_t size, ns::Data* out);

// Decode callbacks.
bool MSRPBDecodeString(pb_istream_t* stream, const pb_field_t* field, void** arg);
bool MSRPBDecodeStringElement(pb_istream_t* stream, const pb_field_t* field, void** arg);
bool MSRPBDecodeUInt64Element(pb_istream_t* stream, const pb_field_t* field, void** arg);
bool MSRPBDecodeFloatElement(pb_istream_t* stream, const pb_field_t* field, void** arg);
bool MSRPBDecodeDoubleElement(pb_istream_t* stream, const pb_field_t* field, void** arg);
bool MSRPBDecodeMessageElement(pb_istream_t* stream, const pb_field_t* field, void** arg);

