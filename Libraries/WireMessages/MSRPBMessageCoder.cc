// Records: making, freeing and copying them, and the entry points of
// decoding and encoding (the steps are in MSRPBDecoder.cc and
// MSRPBEncoder.cc).
#include <pb_decode.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "Libraries/WireMessages/MSRPBCoderSteps.h"
#include "Libraries/WireMessages/MSRPBFieldRoutines.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Platform/Foundation/Format.h"

namespace {

// Empties one field: a singular slot becomes NULL, a repeated record empty.
void freeField(const MSRPBMessageTable& table, MSRPBMessageInfo* info, int32_t index) {
  const MSRPBFieldEntry& entry = table.fields[index];
  void*& slot = info->fields[index];
  if (entry.kind & MSRPBKindRepeated) {
    auto* array = static_cast<MSRPBRepeatedField*>(slot);
    if (!array) return;
    for (uint32_t i = 0; i < array->count && array->elements; ++i) {
      if (array->elements[i]) MSRPBFreeValue(entry.kind, entry.element, array->elements[i]);
    }
    MSRPBFieldResetArray(array);
  } else if (slot) {
    MSRPBFreeValue(entry.kind, entry.element, slot);
    slot = nullptr;
  }
}

// A new value equal to `value`; NULL when memory runs out.
void* copyValue(int32_t kind, const MSRPBMessageTable* element, const void* value) {
  switch (MSRPBKindType(kind)) {
    case MSRPBKindString:
    case MSRPBKindBytes: {
      const auto* string = static_cast<const MSRPBStringField*>(value);
      void* copy = nullptr;
      if (!MSRPBFieldSetString(&copy, string->bytes, string->length)) return nullptr;
      return copy;
    }
    case MSRPBKindMessage: {
      MSRPBMessageInfo* copy = nullptr;
      if (MSRPBTableCopyMessageInfo(*element, &copy, static_cast<const MSRPBMessageInfo*>(value))) return copy;
      MSRPBTableDeallocMessageInfo(*element, copy);
      return nullptr;
    }
    case MSRPBKindFloat: {
      void* cell = std::malloc(sizeof(float));
      if (cell) std::memcpy(cell, value, sizeof(float));
      return cell;
    }
    default: {
      void* cell = std::malloc(sizeof(uint64_t));
      if (cell) std::memcpy(cell, value, sizeof(uint64_t));
      return cell;
    }
  }
}

// Copies one set field of `source` into the empty field of `destination`.
bool copyField(const MSRPBMessageTable& table, MSRPBMessageInfo* destination, const MSRPBMessageInfo* source,
               int32_t index) {
  const MSRPBFieldEntry& entry = table.fields[index];
  if (!(entry.kind & MSRPBKindRepeated)) {
    if (!source->fields[index]) return true;
    destination->fields[index] = copyValue(entry.kind, entry.element, source->fields[index]);
    return destination->fields[index] != nullptr;
  }
  const auto* from = static_cast<const MSRPBRepeatedField*>(source->fields[index]);
  auto* to = static_cast<MSRPBRepeatedField*>(destination->fields[index]);
  if (!from || !from->elements || from->count == 0) return true;
  to->elements = static_cast<void**>(std::calloc(from->count, sizeof(void*)));
  if (!to->elements) return false;
  to->count = from->count;
  for (uint32_t i = 0; i < from->count; ++i) {
    if (!from->elements[i]) continue;
    to->elements[i] = copyValue(entry.kind, entry.element, from->elements[i]);
    if (!to->elements[i]) return false;
  }
  return true;
}

}  // namespace

void MSRPBFreeValue(int32_t kind, const MSRPBMessageTable* element, void* value) {
  switch (MSRPBKindType(kind)) {
    case MSRPBKindString:
    case MSRPBKindBytes: {
      auto* string = static_cast<MSRPBStringField*>(value);
      MSRPBFieldDeallocString(string);
      delete string;
      break;
    }
    case MSRPBKindMessage:
      MSRPBTableDeallocMessageInfo(*element, static_cast<MSRPBMessageInfo*>(value));
      break;
    default:
      std::free(value);
  }
}

MSRPBCodecFrame::MSRPBCodecFrame(const MSRPBMessageTable& table, const MSRPBLayoutCache& layout) {
  constexpr size_t align = alignof(std::max_align_t);
  size_t structBytes = (table.codecSize + align - 1) / align * align;
  size_t bytes = structBytes + layout.callbackCount * sizeof(MSRPBFieldArg);
  unsigned char* storage = local_;
  if (bytes > sizeof(local_)) {
    heap_.reset(new (std::nothrow) unsigned char[bytes]);
    storage = heap_.get();
    if (!storage) return;
  }
  std::memset(storage, 0, bytes);
  codec_ = storage;
  next_ = reinterpret_cast<MSRPBFieldArg*>(storage + structBytes);
  end_ = next_ + layout.callbackCount;
}

int MSRPBTableInitMessageInfo(const MSRPBMessageTable& table, MSRPBMessageInfo* info) {
  if (!info) return 0;
  MSRPBLayoutOf(table);  // a table that does not match its schema stops here
  info->name = table.name;
  info->kinds = table.kinds;
  info->fields = new (std::nothrow) void*[table.fieldCount]();
  if (!info->fields) return 0;
  for (int32_t index = 0; index < table.fieldCount; ++index) {
    if (!(table.kinds[index] & MSRPBKindRepeated)) continue;
    info->fields[index] = new (std::nothrow) MSRPBRepeatedField;
    if (!info->fields[index]) return 0;
  }
  return 1;
}

int MSRPBTableDeallocMessageField(const MSRPBMessageTable& table, MSRPBMessageInfo* info, int32_t index) {
  if (!info || !info->fields) return 0;
  if (index < 0 || index >= table.fieldCount) {
    MSRPBPrintCoderText(ns::format("<ERROR> %s: Cannot deallocate field %d: Unknown field\n", table.name, index));
    return 0;
  }
  freeField(table, info, index);
  return 1;
}

void MSRPBTableDeallocMessageInfo(const MSRPBMessageTable& table, MSRPBMessageInfo* info) {
  if (!info) return;
  if (info->fields) {
    for (int32_t index = 0; index < table.fieldCount; ++index) {
      freeField(table, info, index);
      if (table.kinds[index] & MSRPBKindRepeated) delete static_cast<MSRPBRepeatedField*>(info->fields[index]);
    }
    delete[] info->fields;
  }
  delete info;
}

int MSRPBTableCopyMessageInfo(const MSRPBMessageTable& table, MSRPBMessageInfo** destination,
                              const MSRPBMessageInfo* source) {
  if (!destination || !source || !source->fields) return 0;
  MSRPBTableDeallocMessageInfo(table, *destination);
  *destination = new (std::nothrow) MSRPBMessageInfo;
  if (!*destination) return 0;
  if (!MSRPBTableInitMessageInfo(table, *destination)) return 0;
  for (int32_t index = 0; index < table.fieldCount; ++index) {
    if (!copyField(table, *destination, source, index)) return 0;
  }
  return 1;
}

int MSRPBTableDecode(const MSRPBMessageTable& table, const uint8_t* bytes, size_t length, MSRPBMessageInfo* info) {
  if (info && info->fields) {
    for (int32_t index = 0; index < table.fieldCount; ++index) freeField(table, info, index);
  }
  pb_istream_t stream = pb_istream_from_buffer(bytes, length);
  return MSRPBDecodeRecord(table, &stream, info, 0);
}

int64_t MSRPBTableEncode(const MSRPBMessageTable& table, const MSRPBMessageInfo* info, ns::Data* out) {
  out->clear();
  if (!info || !info->fields) return -1;
  MSRPBEncodeSizes sizes;
  std::optional<size_t> size = MSRPBEncodedSize(table, info, sizes);
  if (!size) return -1;
  return MSRPBWriteRecord(table, info, sizes, *size, out);
}

MSRPBMessageInfo* MSRPBTableCopyOfRecord(const MSRPBMessageTable& table, const MSRPBMessageInfo* source) {
  MSRPBMessageInfo* record = nullptr;
  if (!source) {
    record = new (std::nothrow) MSRPBMessageInfo;
    if (record && !MSRPBTableInitMessageInfo(table, record)) {
      MSRPBTableDeallocMessageInfo(table, record);
      record = nullptr;
    }
    return record;
  }
  if (!source->name || std::strcmp(source->name, table.name) != 0) return nullptr;
  if (!MSRPBTableCopyMessageInfo(table, &record, source)) {
    MSRPBTableDeallocMessageInfo(table, record);
    return nullptr;
  }
  return record;
}

MSRPBMessageInfo* MSRPBTableRecordFromBytes(const MSRPBMessageTable& table, const uint8_t* bytes, size_t length) {
  MSRPBMessageInfo* record = MSRPBTableCopyOfRecord(table, nullptr);
  if (!record || length == 0) return record;
  if (!MSRPBTableDecode(table, bytes, length, record)) {
    MSRPBTableDeallocMessageInfo(table, record);
    return nullptr;
  }
  return record;
}
