#include "Libraries/WireMessages/MSRPBFieldLayout.h"

#include <pb.h>
#include <pb_common.h>

#include <algorithm>
#include <map>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Format.h"

namespace {

struct SchemaField {
  pb_type_t type = 0;
  uint32_t dataOffset = 0;
  uint32_t presenceOffset = 0;
  uint32_t dataSize = 0;
  const pb_msgdesc_t* submessage = nullptr;
};

// nanopb's value type and static size for each type bit. Enums are uint64
// in the schema: five bytes for -1 out, a peer's ten bytes in.
struct ExpectedType {
  int32_t kind;
  pb_type_t ltype;
  uint32_t size;
};
constexpr ExpectedType kExpectedTypes[] = {
    {MSRPBKindBool, PB_LTYPE_BOOL, 1},        {MSRPBKindEnum, PB_LTYPE_UVARINT, 8},
    {MSRPBKindInt32, PB_LTYPE_VARINT, 4},     {MSRPBKindUInt32, PB_LTYPE_UVARINT, 4},
    {MSRPBKindInt64, PB_LTYPE_VARINT, 8},     {MSRPBKindUInt64, PB_LTYPE_UVARINT, 8},
    {MSRPBKindFloat, PB_LTYPE_FIXED32, 4},    {MSRPBKindDouble, PB_LTYPE_FIXED64, 8},
    {MSRPBKindString, PB_LTYPE_STRING, 0},    {MSRPBKindBytes, PB_LTYPE_BYTES, 0},
    {MSRPBKindMessage, PB_LTYPE_SUBMESSAGE, 0},
};

const ExpectedType* expectedType(int32_t kind) {
  for (const auto& expected : kExpectedTypes) {
    if (MSRPBKindType(kind) == expected.kind) return &expected;
  }
  return nullptr;
}

std::map<uint32_t, SchemaField> schemaFields(const MSRPBMessageTable& table, std::vector<uint64_t>& scratch) {
  std::map<uint32_t, SchemaField> fields;
  scratch.assign(table.codecSize / sizeof(uint64_t) + 1, 0);
  auto* base = reinterpret_cast<char*>(scratch.data());
  pb_field_iter_t iter;
  if (!pb_field_iter_begin(&iter, table.descriptor, base)) return fields;
  do {
    SchemaField field;
    field.type = iter.type;
    field.dataOffset = static_cast<uint32_t>(static_cast<char*>(iter.pData) - base);
    field.presenceOffset = iter.pSize ? static_cast<uint32_t>(static_cast<char*>(iter.pSize) - base) : 0;
    field.dataSize = iter.data_size;
    field.submessage = iter.submsg_desc;
    fields[iter.tag] = field;
  } while (pb_field_iter_next(&iter));
  return fields;
}

// Empty when index `index` matches its schema field; else why not.
std::string checkField(const MSRPBMessageTable& table, int32_t index, const SchemaField* schema) {
  const MSRPBFieldEntry& entry = table.fields[index];
  auto at = [&](const std::string& why) {
    return ns::format("%s index %d (tag %u): %s", table.name, index, entry.tag, why.c_str());
  };
  if (!schema) return at("no such tag in the schema");
  if (table.kinds[index] != entry.kind) return at("kind list differs from the field table");
  int32_t label = entry.kind & MSRPBKindLabelMask;
  const ExpectedType* type = expectedType(entry.kind);
  if ((label != MSRPBKindSingular && label != MSRPBKindRepeated) || !type) return at("not one label and one type");
  if (PB_LTYPE(schema->type) != type->ltype) return at("schema type differs");
  bool repeated = label == MSRPBKindRepeated;
  if (PB_HTYPE(schema->type) != (repeated ? PB_HTYPE_REPEATED : PB_HTYPE_OPTIONAL)) return at("schema label differs");
  bool variable = repeated || type->kind == MSRPBKindString || type->kind == MSRPBKindBytes;
  if (PB_ATYPE(schema->type) != (variable ? PB_ATYPE_CALLBACK : PB_ATYPE_STATIC)) {
    return at(variable ? "must be a callback field" : "must be a static field");
  }
  if (!variable && type->kind != MSRPBKindMessage && schema->dataSize != type->size) return at("value size differs");
  if (type->kind == MSRPBKindMessage) {
    if (!entry.element) return at("message field without an element table");
    if (entry.element->descriptor != schema->submessage) {
      return at(ns::format("element table %s is not the field's message", entry.element->name));
    }
  } else if (entry.element) {
    return at("element table on a field that holds no message");
  }
  if (repeated && !entry.name) return at("repeated field without a name");
  return {};
}

std::string check(const MSRPBMessageTable& table, std::map<uint32_t, SchemaField>* schemaOut) {
  std::vector<uint64_t> scratch;
  std::map<uint32_t, SchemaField> schema = schemaFields(table, scratch);
  std::map<uint32_t, int32_t> indexOfTag;
  for (int32_t index = 0; index < table.fieldCount; ++index) {
    auto found = schema.find(table.fields[index].tag);
    std::string why = checkField(table, index, found == schema.end() ? nullptr : &found->second);
    if (!why.empty()) return why;
    if (!indexOfTag.emplace(table.fields[index].tag, index).second) {
      return ns::format("%s: tag %u has two indexes", table.name, table.fields[index].tag);
    }
  }
  for (const auto& [tag, field] : schema) {
    if (indexOfTag.count(tag)) continue;
    bool readAndDropped = PB_ATYPE(field.type) == PB_ATYPE_CALLBACK ||
                          (PB_ATYPE(field.type) == PB_ATYPE_STATIC && PB_HTYPE(field.type) == PB_HTYPE_OPTIONAL);
    if (!readAndDropped) return ns::format("%s: schema tag %u has no index and cannot be dropped", table.name, tag);
  }
  if (schemaOut) *schemaOut = std::move(schema);
  return {};
}

void build(const MSRPBMessageTable& table, MSRPBLayoutCache* cache) {
  std::map<uint32_t, SchemaField> schema;
  std::string why = check(table, &schema);
  if (!why.empty()) throw ns::Exception("MSRPBMessageTable", why);
  std::vector<MSRPBFieldLayout> fields(table.fieldCount);
  bool twoPasses = false;
  uint32_t callbackCount = 0;
  for (int32_t index = 0; index < table.fieldCount; ++index) {
    const MSRPBFieldEntry& entry = table.fields[index];
    const SchemaField& field = schema.at(entry.tag);
    MSRPBFieldLayout& layout = fields[index];
    layout.dataOffset = field.dataOffset;
    layout.presenceOffset = field.presenceOffset;
    layout.dataSize = field.dataSize;
    layout.callback = PB_ATYPE(field.type) == PB_ATYPE_CALLBACK;
    if (layout.callback) {
      ++callbackCount;
      if (entry.kind & MSRPBKindRepeated) twoPasses = true;
    } else if (entry.kind & MSRPBKindMessage) {
      // A static sub-message never contains itself, so this ends.
      const MSRPBLayoutCache& nested = MSRPBLayoutOf(*entry.element);
      callbackCount += nested.callbackCount;
      twoPasses = twoPasses || nested.twoPasses;
    }
  }
  std::vector<int32_t> tagOrder(table.fieldCount);
  for (int32_t index = 0; index < table.fieldCount; ++index) tagOrder[index] = index;
  std::sort(tagOrder.begin(), tagOrder.end(),
            [&](int32_t a, int32_t b) { return table.fields[a].tag < table.fields[b].tag; });
  cache->fields = std::move(fields);
  cache->tagOrder = std::move(tagOrder);
  cache->twoPasses = twoPasses;
  cache->callbackCount = callbackCount;
  cache->built.store(true, std::memory_order_release);
}

}  // namespace

const MSRPBLayoutCache& MSRPBBuildLayout(const MSRPBMessageTable& table) {
  std::call_once(table.layout->once, build, std::cref(table), table.layout);
  return *table.layout;
}

std::string MSRPBCheckMessageTable(const MSRPBMessageTable& table) { return check(table, nullptr); }
