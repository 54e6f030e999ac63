// Encoding: one walk over the records sizes every nested message, a second
// writes every set value with nanopb's writers (tag, varint, string,
// fixed32, fixed64) into a buffer of the exact size, fields in ascending
// tag order. Repeated numbers are written unpacked, one tag per element.
//
// The message tables already say where each value is and how it is
// written, so the records are written straight from them: handing the
// values to nanopb's structs first would make nanopb read its packed
// field descriptors again for every field of every message, set or not,
// and size each nested message once more at every level above it.
#include <pb_encode.h>

#include <bit>
#include <cstring>
#include <optional>

#include "Libraries/WireMessages/MSRPBCoderSteps.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Platform/Foundation/Format.h"

namespace {

// The varint of an integer cell as the field's type writes it: int32 sign-
// extended (ten bytes for a negative value), uint32 and enum as the
// unsigned 32-bit value, bool as 0 or 1.
uint64_t varintOf(int32_t kind, uint64_t cell) {
  switch (MSRPBKindType(kind)) {
    case MSRPBKindBool: return (cell & 0xff) != 0;
    case MSRPBKindInt32: return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(cell)));
    case MSRPBKindUInt32:
    case MSRPBKindEnum: return static_cast<uint32_t>(cell);
    default: return cell;
  }
}

pb_wire_type_t wireTypeOf(int32_t kind) {
  switch (MSRPBKindType(kind)) {
    case MSRPBKindFloat: return PB_WT_32BIT;
    case MSRPBKindDouble: return PB_WT_64BIT;
    case MSRPBKindString:
    case MSRPBKindBytes:
    case MSRPBKindMessage: return PB_WT_STRING;
    default: return PB_WT_VARINT;
  }
}

// Seven bits a byte.
size_t varintSize(uint64_t value) { return (std::bit_width(value | 1) + 6) / 7; }

// The key (tag and wire type) of a field, in bytes.
size_t keySize(uint32_t tag) { return varintSize(uint64_t{tag} << 3); }

uint64_t cellOf(const void* slot) {
  uint64_t cell;
  std::memcpy(&cell, slot, sizeof(cell));
  return cell;
}

void printMissingArray(const MSRPBMessageTable& table, const MSRPBFieldEntry& entry) {
  MSRPBPrintCoderText(ns::format("<ERROR> %s Encoder: '%s' should have been allocated\n", table.name, entry.name));
}

// One value of a field, key included; a nested message appends its size.
std::optional<size_t> valueSize(const MSRPBFieldEntry& entry, const void* value, MSRPBEncodeSizes& sizes) {
  size_t key = keySize(entry.tag);
  switch (MSRPBKindType(entry.kind)) {
    case MSRPBKindString:
    case MSRPBKindBytes: {
      uint32_t length = static_cast<const MSRPBStringField*>(value)->length;
      return key + varintSize(length) + length;
    }
    case MSRPBKindMessage: {
      // Kept in the place the writing walk meets it: before the sizes of
      // what the message holds.
      size_t position = sizes.sizes.size();
      sizes.sizes.push_back(0);
      std::optional<size_t> size =
          MSRPBEncodedSize(*entry.element, static_cast<const MSRPBMessageInfo*>(value), sizes);
      if (!size || *size > UINT32_MAX) return std::nullopt;
      sizes.sizes[position] = static_cast<uint32_t>(*size);
      return key + varintSize(*size) + *size;
    }
    case MSRPBKindFloat: return key + 4;
    case MSRPBKindDouble: return key + 8;
    default: return key + varintSize(varintOf(entry.kind, cellOf(value)));
  }
}

bool writeRecord(pb_ostream_t* stream, const MSRPBMessageTable& table, const MSRPBMessageInfo* info,
                 MSRPBEncodeSizes& sizes);

// One value of a field, key included.
bool writeValue(pb_ostream_t* stream, const MSRPBFieldEntry& entry, const void* value, MSRPBEncodeSizes& sizes) {
  if (!pb_encode_tag(stream, wireTypeOf(entry.kind), entry.tag)) return false;
  switch (MSRPBKindType(entry.kind)) {
    case MSRPBKindString:
    case MSRPBKindBytes: {
      const auto* string = static_cast<const MSRPBStringField*>(value);
      return pb_encode_string(stream, string->bytes, string->length);
    }
    case MSRPBKindMessage: {
      if (sizes.next >= sizes.sizes.size()) PB_RETURN_ERROR(stream, "message not sized");
      uint32_t size = sizes.sizes[sizes.next++];
      if (!pb_encode_varint(stream, size)) return false;
      size_t start = stream->bytes_written;
      if (!writeRecord(stream, *entry.element, static_cast<const MSRPBMessageInfo*>(value), sizes)) return false;
      if (stream->bytes_written - start != size) PB_RETURN_ERROR(stream, "submessage size changed");
      return true;
    }
    case MSRPBKindFloat: return pb_encode_fixed32(stream, value);
    case MSRPBKindDouble: return pb_encode_fixed64(stream, value);
    default: return pb_encode_varint(stream, varintOf(entry.kind, cellOf(value)));
  }
}

bool writeRecord(pb_ostream_t* stream, const MSRPBMessageTable& table, const MSRPBMessageInfo* info,
                 MSRPBEncodeSizes& sizes) {
  const MSRPBLayoutCache& layout = MSRPBLayoutOf(table);
  for (int32_t index : layout.tagOrder) {
    const MSRPBFieldEntry& entry = table.fields[index];
    const void* slot = info->fields[index];
    if (!(entry.kind & MSRPBKindRepeated)) {
      if (slot && !writeValue(stream, entry, slot, sizes)) return false;
      continue;
    }
    const auto* array = static_cast<const MSRPBRepeatedField*>(slot);
    for (uint32_t i = 0; array && i < array->count; ++i) {
      if (!writeValue(stream, entry, array->elements[i], sizes)) return false;
    }
  }
  return true;
}

}  // namespace

std::optional<size_t> MSRPBEncodedSize(const MSRPBMessageTable& table, const MSRPBMessageInfo* info,
                                       MSRPBEncodeSizes& sizes) {
  const MSRPBLayoutCache& layout = MSRPBLayoutOf(table);
  size_t total = 0;
  for (int32_t index : layout.tagOrder) {
    const MSRPBFieldEntry& entry = table.fields[index];
    const void* slot = info->fields[index];
    if (!(entry.kind & MSRPBKindRepeated)) {
      if (!slot) continue;
      std::optional<size_t> size = valueSize(entry, slot, sizes);
      if (!size) return std::nullopt;
      total += *size;
      continue;
    }
    const auto* array = static_cast<const MSRPBRepeatedField*>(slot);
    if (!array) {
      printMissingArray(table, entry);
      return std::nullopt;
    }
    if (array->count > 0 && !array->elements) return std::nullopt;
    for (uint32_t i = 0; i < array->count; ++i) {
      if (!array->elements[i]) return std::nullopt;
      std::optional<size_t> size = valueSize(entry, array->elements[i], sizes);
      if (!size) return std::nullopt;
      total += *size;
    }
  }
  return total;
}

int64_t MSRPBWriteRecord(const MSRPBMessageTable& table, const MSRPBMessageInfo* info, MSRPBEncodeSizes& sizes,
                         size_t size, ns::Data* out) {
  out->assign(size, 0);
  pb_ostream_t stream = pb_ostream_from_buffer(out->data(), size);
  if (!writeRecord(&stream, table, info, sizes) || stream.bytes_written != size) {
    out->clear();
    return -1;
  }
  return static_cast<int64_t>(size);
}
