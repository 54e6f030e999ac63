// Encoding: the record's set values go into nanopb's struct (presence flag
// and value) or behind encode callbacks (strings and non-empty repeated
// fields), and nanopb writes the fields in ascending tag order. Repeated
// numbers are written unpacked, one tag per element.
//
// nanopb sizes a nested message before writing it, at every level, so a
// message deep in a batch would be walked once per level above it. The
// sizes are worked out here instead, in one walk over the records, and
// nanopb writes each message once into a buffer of the exact size.
#include <pb_encode.h>

#include <cstring>
#include <optional>

#include "Libraries/WireMessages/MSRPBCoderSteps.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Platform/Foundation/Format.h"

namespace {

using EncodeCallback = bool (*)(pb_ostream_t*, const pb_field_t*, void* const*);

EncodeCallback encoderFor(int32_t kind) {
  if (!(kind & MSRPBKindRepeated)) return MSRPBEncodeString;
  switch (MSRPBKindType(kind)) {
    case MSRPBKindString:
    case MSRPBKindBytes: return MSRPBEncodeStringElements;
    case MSRPBKindMessage: return MSRPBEncodeMessageElements;
    case MSRPBKindFloat: return MSRPBEncodeFloatElements;
    case MSRPBKindDouble: return MSRPBEncodeDoubleElements;
    default: return MSRPBEncodeVarintElements;
  }
}

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

// Writes a set singular scalar into the struct's static field.
void setStatic(int32_t kind, const void* cell, unsigned char* value) {
  if (MSRPBKindType(kind) == MSRPBKindFloat) {
    std::memcpy(value, cell, sizeof(float));
    return;
  }
  uint64_t bits;
  std::memcpy(&bits, cell, sizeof(bits));
  switch (MSRPBKindType(kind)) {
    case MSRPBKindBool: {
      bool flag = (bits & 0xff) != 0;
      std::memcpy(value, &flag, sizeof(flag));
      break;
    }
    case MSRPBKindInt32:
    case MSRPBKindUInt32: {
      auto number = static_cast<uint32_t>(bits);
      std::memcpy(value, &number, sizeof(number));
      break;
    }
    case MSRPBKindEnum: {  // a uint64 on the wire
      uint64_t number = static_cast<uint32_t>(bits);
      std::memcpy(value, &number, sizeof(number));
      break;
    }
    default:  // int64, uint64, double
      std::memcpy(value, &bits, sizeof(bits));
  }
}

const MSRPBRepeatedField* repeatedOf(void* const* arg) {
  const auto* field = static_cast<const MSRPBFieldArg*>(*arg);
  return static_cast<const MSRPBRepeatedField*>(field->info->fields[field->index]);
}

size_t varintSize(uint64_t value) {
  size_t size = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++size;
  }
  return size;
}

// The key (tag and wire type) of a field, in bytes.
size_t keySize(uint32_t tag) { return varintSize(uint64_t{tag} << 3); }

uint64_t cellOf(const void* slot) {
  uint64_t cell;
  std::memcpy(&cell, slot, sizeof(cell));
  return cell;
}

// One value of a field, key included, as the callbacks and nanopb write
// it; nested messages append their sizes.
std::optional<size_t> valueSize(const MSRPBFieldEntry& entry, const void* value, MSRPBEncodeSizes& sizes) {
  size_t key = keySize(entry.tag);
  switch (MSRPBKindType(entry.kind)) {
    case MSRPBKindString:
    case MSRPBKindBytes: {
      uint32_t length = static_cast<const MSRPBStringField*>(value)->length;
      return key + varintSize(length) + length;
    }
    case MSRPBKindMessage: {
      // A repeated element's size is kept for the writing pass, in the
      // place the pass meets it: before the sizes of what it holds.
      bool element = entry.kind & MSRPBKindRepeated;
      size_t position = sizes.sizes.size();
      if (element) sizes.sizes.push_back(0);
      std::optional<size_t> size =
          MSRPBEncodedSize(*entry.element, static_cast<const MSRPBMessageInfo*>(value), sizes);
      if (!size || *size > UINT32_MAX) return std::nullopt;
      if (element) sizes.sizes[position] = static_cast<uint32_t>(*size);
      return key + varintSize(*size) + *size;
    }
    case MSRPBKindFloat: return key + 4;
    case MSRPBKindDouble: return key + 8;
    default: return key + varintSize(varintOf(entry.kind, cellOf(value)));
  }
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
      MSRPBPrintCoderText(ns::format("<ERROR> %s Encoder: '%s' should have been allocated\n", table.name, entry.name));
      return std::nullopt;
    }
    for (uint32_t i = 0; i < array->count; ++i) {
      if (!array->elements[i]) return std::nullopt;
      std::optional<size_t> size = valueSize(entry, array->elements[i], sizes);
      if (!size) return std::nullopt;
      total += *size;
    }
  }
  return total;
}

int MSRPBPrepareEncode(const MSRPBMessageTable& table, const MSRPBMessageInfo* info, unsigned char* codec,
                       MSRPBCodecFrame& frame, int32_t depth, MSRPBEncodeSizes* sizes) {
  const MSRPBLayoutCache& layout = MSRPBLayoutOf(table);
  for (int32_t index = 0; index < table.fieldCount; ++index) {
    const MSRPBFieldEntry& entry = table.fields[index];
    const MSRPBFieldLayout& field = layout.fields[index];
    const void* slot = info->fields[index];
    if (entry.kind & MSRPBKindRepeated) {
      if (!slot) {
        MSRPBPrintCoderText(
            ns::format("<ERROR> %s Encoder: '%s' should have been allocated\n", table.name, entry.name));
        return 0;
      }
      if (static_cast<const MSRPBRepeatedField*>(slot)->count == 0) continue;
    } else if (!slot) {
      continue;
    }
    if (field.callback) {
      MSRPBFieldArg* arg = frame.nextArg();
      if (!arg) return 0;
      *arg = {&table, const_cast<MSRPBMessageInfo*>(info), index, depth, sizes};
      auto* callback = reinterpret_cast<pb_callback_t*>(codec + field.dataOffset);
      callback->funcs.encode = encoderFor(entry.kind);
      callback->arg = arg;
      continue;
    }
    *reinterpret_cast<bool*>(codec + field.presenceOffset) = true;
    if (MSRPBKindType(entry.kind) == MSRPBKindMessage) {
      if (!MSRPBPrepareEncode(*entry.element, static_cast<const MSRPBMessageInfo*>(slot), codec + field.dataOffset,
                              frame, depth + 1, sizes)) {
        return 0;
      }
    } else {
      setStatic(entry.kind, slot, codec + field.dataOffset);
    }
  }
  return 1;
}

int64_t MSRPBEncodeToBuffer(const pb_msgdesc_t* fields, const void* codec, size_t size, ns::Data* out) {
  out->assign(size, 0);
  pb_ostream_t stream = pb_ostream_from_buffer(out->data(), size);
  if (!pb_encode(&stream, fields, codec) || stream.bytes_written != size) {
    out->clear();
    return -1;
  }
  return static_cast<int64_t>(size);
}

bool MSRPBEncodeString(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
  const auto* owner = static_cast<const MSRPBFieldArg*>(*arg);
  const auto* string = static_cast<const MSRPBStringField*>(owner->info->fields[owner->index]);
  return pb_encode_tag_for_field(stream, field) && pb_encode_string(stream, string->bytes, string->length);
}

bool MSRPBEncodeStringElements(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
  const MSRPBRepeatedField* array = repeatedOf(arg);
  for (uint32_t i = 0; i < array->count; ++i) {
    const auto* string = static_cast<const MSRPBStringField*>(array->elements[i]);
    if (!string || !pb_encode_tag_for_field(stream, field) ||
        !pb_encode_string(stream, string->bytes, string->length)) {
      return false;
    }
  }
  return true;
}

bool MSRPBEncodeVarintElements(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
  const auto* owner = static_cast<const MSRPBFieldArg*>(*arg);
  int32_t kind = owner->table->kinds[owner->index];
  const MSRPBRepeatedField* array = repeatedOf(arg);
  for (uint32_t i = 0; i < array->count; ++i) {
    if (!array->elements[i]) return false;
    uint64_t cell;
    std::memcpy(&cell, array->elements[i], sizeof(cell));
    if (!pb_encode_tag_for_field(stream, field) || !pb_encode_varint(stream, varintOf(kind, cell))) return false;
  }
  return true;
}

bool MSRPBEncodeFloatElements(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
  const MSRPBRepeatedField* array = repeatedOf(arg);
  for (uint32_t i = 0; i < array->count; ++i) {
    if (!array->elements[i] || !pb_encode_tag_for_field(stream, field) ||
        !pb_encode_fixed32(stream, array->elements[i])) {
      return false;
    }
  }
  return true;
}

bool MSRPBEncodeDoubleElements(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
  const MSRPBRepeatedField* array = repeatedOf(arg);
  for (uint32_t i = 0; i < array->count; ++i) {
    if (!array->elements[i] || !pb_encode_tag_for_field(stream, field) ||
        !pb_encode_fixed64(stream, array->elements[i])) {
      return false;
    }
  }
  return true;
}

bool MSRPBEncodeMessageElements(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
  const auto* owner = static_cast<const MSRPBFieldArg*>(*arg);
  const MSRPBFieldEntry& entry = owner->table->fields[owner->index];
  const MSRPBMessageTable& element = *entry.element;
  const MSRPBLayoutCache& layout = MSRPBLayoutOf(element);
  const MSRPBRepeatedField* array = repeatedOf(arg);
  // nanopb sizes a singular sub-message itself before writing it: the
  // elements inside one are sized afresh then, leaving the kept sizes to
  // the writing pass.
  if (!stream->callback) {
    MSRPBEncodeSizes scratch;
    for (uint32_t i = 0; i < array->count; ++i) {
      std::optional<size_t> size = array->elements[i] ? valueSize(entry, array->elements[i], scratch) : std::nullopt;
      if (!size || !pb_write(stream, nullptr, *size)) return false;
    }
    return true;
  }
  MSRPBEncodeSizes& sizes = *owner->sizes;
  for (uint32_t i = 0; i < array->count; ++i) {
    const auto* record = static_cast<const MSRPBMessageInfo*>(array->elements[i]);
    if (!record || sizes.next >= sizes.sizes.size()) return false;
    uint32_t size = sizes.sizes[sizes.next++];
    MSRPBCodecFrame frame(element, layout);
    if (!frame.valid() || !MSRPBPrepareEncode(element, record, frame.codec(), frame, owner->depth + 1, &sizes)) {
      return false;
    }
    if (!pb_encode_tag_for_field(stream, field) || !pb_encode_varint(stream, size)) return false;
    // Written into a window of exactly its size, as nanopb writes a
    // sub-message it sized itself.
    pb_ostream_t window = *stream;
    window.max_size = size;
    window.bytes_written = 0;
    bool written = pb_encode(&window, element.descriptor, frame.codec());
    stream->state = window.state;
    stream->bytes_written += window.bytes_written;
    if (!written || window.bytes_written != size) {
      PB_SET_ERROR(stream, written ? "submessage size changed" : PB_GET_ERROR(&window));
      return false;
    }
  }
  return true;
}
