// Decoding: nanopb reads the static fields into its struct and hands every
// string and repeated value to the callbacks below, which write straight
// into the record.
//
// A message with repeated fields (its own or a singular sub-message's) is
// read twice. In the first pass no repeated record has an element array,
// so the callbacks only count (skipping a message element's bytes); the
// arrays are then made at their exact sizes and the second pass fills
// them. Strings are stored when first met: a string field's later values,
// the second pass's included, are skipped, so the first value stays.
#include <pb_decode.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "Libraries/WireMessages/MSRPBCoderSteps.h"
#include "Libraries/WireMessages/MSRPBFieldRoutines.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Platform/Foundation/Format.h"

namespace {

constexpr const char* kTooDeep = "nested deeper than the nesting limit";

void printFailure(const char* name, const char* why) {
  MSRPBPrintCoderText(ns::format("<ERROR> %s decoder failed: %s\n", name, why));
}

MSRPBRepeatedField* repeatedOf(const MSRPBFieldArg* arg) {
  return static_cast<MSRPBRepeatedField*>(arg->info->fields[arg->index]);
}

bool countElement(MSRPBRepeatedField* array) {
  if (array->count == UINT32_MAX) return false;
  ++array->count;
  return true;
}

// The slot of the next element of the filling pass; null when the bytes
// hold more elements than the counting pass found.
void** nextElement(pb_istream_t* stream, MSRPBRepeatedField* array) {
  if (array->fill >= array->count) {
    PB_SET_ERROR(stream, "more elements than counted");
    return nullptr;
  }
  return &array->elements[array->fill];
}

using DecodeCallback = bool (*)(pb_istream_t*, const pb_field_t*, void**);

DecodeCallback decoderFor(int32_t kind) {
  if (!(kind & MSRPBKindRepeated)) return MSRPBDecodeString;
  switch (MSRPBKindType(kind)) {
    case MSRPBKindString:
    case MSRPBKindBytes: return MSRPBDecodeStringElement;
    case MSRPBKindMessage: return MSRPBDecodeMessageElement;
    case MSRPBKindFloat: return MSRPBDecodeFloatElement;
    case MSRPBKindDouble: return MSRPBDecodeDoubleElement;
    default: return MSRPBDecodeUInt64Element;
  }
}

// Installs the callbacks of the message's callback fields, and of its
// singular sub-messages, whose fresh records the struct's callbacks write
// into (dropped again when the input has no such sub-message).
bool setDecodeCallbacks(const MSRPBMessageTable& table, MSRPBMessageInfo* info, unsigned char* codec,
                        MSRPBCodecFrame& frame, int32_t depth) {
  const MSRPBLayoutCache& layout = MSRPBLayoutOf(table);
  for (int32_t index = 0; index < table.fieldCount; ++index) {
    const MSRPBFieldEntry& entry = table.fields[index];
    const MSRPBFieldLayout& field = layout.fields[index];
    if (field.callback) {
      MSRPBFieldArg* arg = frame.nextArg();
      if (!arg) return false;
      *arg = {&table, info, index, depth};
      auto* callback = reinterpret_cast<pb_callback_t*>(codec + field.dataOffset);
      callback->funcs.decode = decoderFor(entry.kind);
      callback->arg = arg;
    } else if (MSRPBKindType(entry.kind) == MSRPBKindMessage) {
      auto* nested = new (std::nothrow) MSRPBMessageInfo;
      if (!nested) return false;
      info->fields[index] = nested;
      if (!MSRPBTableInitMessageInfo(*entry.element, nested)) return false;
      if (!setDecodeCallbacks(*entry.element, nested, codec + field.dataOffset, frame, depth + 1)) return false;
    }
  }
  return true;
}

// After the counting pass: exactly sized element arrays.
bool allocateArrays(const MSRPBMessageTable& table, MSRPBMessageInfo* info) {
  for (int32_t index = 0; index < table.fieldCount; ++index) {
    const MSRPBFieldEntry& entry = table.fields[index];
    if (entry.kind & MSRPBKindRepeated) {
      auto* array = static_cast<MSRPBRepeatedField*>(info->fields[index]);
      if (!array) {
        MSRPBPrintCoderText(
            ns::format("<ERROR> Cannot allocate %s arrays. Missing params field (%s)\n", table.name, entry.name));
        return false;
      }
      if (array->count == 0) continue;
      array->elements = static_cast<void**>(std::calloc(array->count, sizeof(void*)));
      if (!array->elements) return false;
      array->fill = 0;
    } else if (MSRPBKindType(entry.kind) == MSRPBKindMessage && info->fields[index]) {
      if (!allocateArrays(*entry.element, static_cast<MSRPBMessageInfo*>(info->fields[index]))) return false;
    }
  }
  return true;
}

// Copies the present static values into cells; a singular sub-message the
// input did not hold loses its fresh record.
bool assignDecodedFields(const MSRPBMessageTable& table, MSRPBMessageInfo* info, const unsigned char* codec) {
  const MSRPBLayoutCache& layout = MSRPBLayoutOf(table);
  for (int32_t index = 0; index < table.fieldCount; ++index) {
    const MSRPBFieldLayout& field = layout.fields[index];
    if (field.callback) continue;
    const MSRPBFieldEntry& entry = table.fields[index];
    void*& slot = info->fields[index];
    bool present = *reinterpret_cast<const bool*>(codec + field.presenceOffset);
    const unsigned char* value = codec + field.dataOffset;
    if (MSRPBKindType(entry.kind) == MSRPBKindMessage) {
      auto* nested = static_cast<MSRPBMessageInfo*>(slot);
      if (!present) {
        MSRPBTableDeallocMessageInfo(*entry.element, nested);
        slot = nullptr;
      } else if (!assignDecodedFields(*entry.element, nested, value)) {
        return false;
      }
      continue;
    }
    if (!present) continue;
    int ok = 0;
    switch (MSRPBKindType(entry.kind)) {
      case MSRPBKindBool: ok = MSRPBFieldSetBool(&slot, *reinterpret_cast<const bool*>(value)); break;
      case MSRPBKindInt32: {
        int32_t number;
        std::memcpy(&number, value, sizeof(number));
        ok = MSRPBFieldSetUInt32(&slot, static_cast<uint32_t>(number));
        break;
      }
      case MSRPBKindUInt32: {
        uint32_t number;
        std::memcpy(&number, value, sizeof(number));
        ok = MSRPBFieldSetUInt32(&slot, number);
        break;
      }
      case MSRPBKindEnum: {  // a uint64 on the wire: the low 32 bits are the value
        uint64_t number;
        std::memcpy(&number, value, sizeof(number));
        ok = MSRPBFieldSetUInt32(&slot, static_cast<uint32_t>(number));
        break;
      }
      case MSRPBKindFloat: {
        float number;
        std::memcpy(&number, value, sizeof(number));
        ok = MSRPBFieldSetFloat(&slot, number);
        break;
      }
      case MSRPBKindDouble: {
        double number;
        std::memcpy(&number, value, sizeof(number));
        ok = MSRPBFieldSetDouble(&slot, number);
        break;
      }
      default: {  // int64, uint64
        uint64_t number;
        std::memcpy(&number, value, sizeof(number));
        ok = MSRPBFieldSetUInt64(&slot, number);
      }
    }
    if (!ok) return false;
  }
  return true;
}

bool runPass(const MSRPBMessageTable& table, pb_istream_t* stream, unsigned char* codec) {
  if (pb_decode_ex(stream, table.descriptor, codec, PB_DECODE_NOINIT)) return true;
  printFailure(table.name, PB_GET_ERROR(stream));
  return false;
}

}  // namespace

int MSRPBDecodeRecord(const MSRPBMessageTable& table, pb_istream_t* stream, MSRPBMessageInfo* info, int32_t depth) {
  if (!info || !info->fields) {
    printFailure(table.name, "message_info is NULL");
    return 0;
  }
  const MSRPBLayoutCache& layout = MSRPBLayoutOf(table);
  MSRPBCodecFrame frame(table, layout);
  if (!frame.valid() || !setDecodeCallbacks(table, info, frame.codec(), frame, depth)) {
    printFailure(table.name, "Unable to set decoders");
    return 0;
  }
  if (layout.twoPasses) {
    pb_istream_t counting = *stream;
    if (!runPass(table, &counting, frame.codec())) {
      stream->errmsg = counting.errmsg;
      return 0;
    }
    if (!allocateArrays(table, info)) {
      printFailure(table.name, "Unable to allocate arrays");
      return 0;
    }
  }
  if (!runPass(table, stream, frame.codec())) return 0;
  if (!assignDecodedFields(table, info, frame.codec())) {
    printFailure(table.name, "out of memory");
    return 0;
  }
  return 1;
}

namespace {

// The rest of the stream as a new string record; null when it cannot be
// read.
MSRPBStringField* readString(pb_istream_t* stream) {
  size_t length = stream->bytes_left;
  if (length > UINT32_MAX) return nullptr;
  auto* bytes = static_cast<uint8_t*>(std::malloc(length + 1));
  auto* string = bytes ? new (std::nothrow) MSRPBStringField : nullptr;
  if (!string || !pb_read(stream, bytes, length)) {
    std::free(bytes);
    delete string;
    return nullptr;
  }
  bytes[length] = 0;
  string->bytes = bytes;
  string->length = static_cast<uint32_t>(length);
  return string;
}

// One number of a repeated field: counted in the first pass, stored at the
// fill position in the second. The codec calls once per value, and with an
// empty stream for an empty packed run, which holds no value.
template <class T>
bool decodeNumberElement(pb_istream_t* stream, void** arg, bool (*read)(pb_istream_t*, T*),
                         int (*store)(void**, T)) {
  if (stream->bytes_left == 0) return true;
  MSRPBRepeatedField* array = repeatedOf(static_cast<MSRPBFieldArg*>(*arg));
  T value;
  if (!read(stream, &value)) return false;
  if (!array->elements) return countElement(array);
  void** element = nextElement(stream, array);
  if (!element || !store(element, value)) return false;
  ++array->fill;
  return true;
}

bool readVarint(pb_istream_t* stream, uint64_t* value) { return pb_decode_varint(stream, value); }
bool readFloat(pb_istream_t* stream, float* value) { return pb_decode_fixed32(stream, value); }
bool readDouble(pb_istream_t* stream, double* value) { return pb_decode_fixed64(stream, value); }

}  // namespace

bool MSRPBDecodeString(pb_istream_t* stream, const pb_field_t*, void** arg) {
  auto* field = static_cast<MSRPBFieldArg*>(*arg);
  void*& slot = field->info->fields[field->index];
  if (auto* string = static_cast<MSRPBStringField*>(slot)) {
    if (string->bytes) return pb_read(stream, nullptr, stream->bytes_left);
    MSRPBLogText("<ERROR> String decoder failed: string data is NULL");
    return false;
  }
  if (stream->bytes_left > MSRPBMaxStringLength) {
    MSRPBLogText(ns::format("Unable to process proto stream. Buffer is too big. %zu > %d", stream->bytes_left,
                            static_cast<int>(MSRPBMaxStringLength)));
    return false;
  }
  slot = readString(stream);
  return slot != nullptr;
}

bool MSRPBDecodeStringElement(pb_istream_t* stream, const pb_field_t*, void** arg) {
  MSRPBRepeatedField* array = repeatedOf(static_cast<MSRPBFieldArg*>(*arg));
  if (!array->elements) return countElement(array) && pb_read(stream, nullptr, stream->bytes_left);
  void** element = nextElement(stream, array);
  if (!element || !(*element = readString(stream))) return false;
  ++array->fill;
  return true;
}

bool MSRPBDecodeUInt64Element(pb_istream_t* stream, const pb_field_t*, void** arg) {
  return decodeNumberElement<uint64_t>(stream, arg, readVarint, MSRPBFieldSetUInt64);
}

bool MSRPBDecodeFloatElement(pb_istream_t* stream, const pb_field_t*, void** arg) {
  return decodeNumberElement<float>(stream, arg, readFloat, MSRPBFieldSetFloat);
}

bool MSRPBDecodeDoubleElement(pb_istream_t* stream, const pb_field_t*, void** arg) {
  return decodeNumberElement<double>(stream, arg, readDouble, MSRPBFieldSetDouble);
}

bool MSRPBDecodeMessageElement(pb_istream_t* stream, const pb_field_t*, void** arg) {
  auto* field = static_cast<MSRPBFieldArg*>(*arg);
  if (!field) {
    printFailure("(null)", "Invalid arg parameter");
    return false;
  }
  const MSRPBMessageTable& element = *field->table->fields[field->index].element;
  MSRPBRepeatedField* array = repeatedOf(field);
  if (!array->elements) {
    if (!pb_read(stream, nullptr, stream->bytes_left)) {
      printFailure(element.name, PB_GET_ERROR(stream));
      return false;
    }
    return countElement(array);
  }
  int32_t depth = field->depth + 1;
  if (depth > MSRPBMaxNestingDepth) {
    PB_SET_ERROR(stream, kTooDeep);
    printFailure(element.name, kTooDeep);
    return false;
  }
  void** slot = nextElement(stream, array);
  if (!slot) return false;
  auto* record = new (std::nothrow) MSRPBMessageInfo;
  if (!record) return false;
  *slot = record;  // freed with the array, whatever follows
  if (!MSRPBTableInitMessageInfo(element, record)) {
    printFailure(element.name, "Unable to initialize MessageInfo");
    return false;
  }
  if (!MSRPBDecodeRecord(element, stream, record, depth)) {
    printFailure(element.name, ns::format("Unable to decode repeated %s", element.name).c_str());
    return false;
  }
  ++array->fill;
  return true;
}
