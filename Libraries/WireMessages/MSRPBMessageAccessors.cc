#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

#include <cstdlib>
#include <cstring>

#include "Libraries/WireMessages/MSRPBCoderSteps.h"
#include "Libraries/WireMessages/MSRPBFieldRoutines.h"
#include "Libraries/WireMessages/MSRPBMessageTable.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Libraries/WireMessages/MSRPBValueClassName.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

// The message's record, or null after logging that `operation` cannot run.
MSRPBMessageInfo* recordOf(const NANOMessageBase* message, const char* operation) {
  MSRPBMessageInfo* info = message ? message->messageInfo() : nullptr;
  if (info && info->fields) return info;
  MSRPBLogText(ns::format("ProtocolBuffer message hasn't been initialized. %s can't be performed", operation));
  return nullptr;
}

// The field's kind word when `index` is one of the message's fields.
std::optional<int32_t> kindAt(const NANOMessageBase& message, int32_t index) {
  const MSRPBMessageTable& table = message.messageTable();
  if (index < 0 || index >= table.fieldCount) return std::nullopt;
  return table.kinds[index];
}

// Whether field `index` is singular and of one of `types`; logs the
// refusal ("isn't a scalar <word>") when not.
bool singularOf(const NANOMessageBase& message, int32_t index, int32_t types, const char* word) {
  std::optional<int32_t> kind = kindAt(message, index);
  if (kind && !(*kind & MSRPBKindRepeated) && (*kind & types)) return true;
  MSRPBLogText(ns::format("<Nano/Failure> Field type isn't a scalar %s. Message: %s, field ID: %d", word,
                          message.messageID(), index));
  return false;
}

bool repeatedAt(const NANOMessageBase& message, int32_t index) {
  std::optional<int32_t> kind = kindAt(message, index);
  if (kind && (*kind & MSRPBKindRepeated)) return true;
  MSRPBLogText(ns::format("<Nano/Failure> Field type isn't REPEATED. Message: %s, field ID: %d", message.messageID(),
                          index));
  return false;
}

uint64_t cellOf(const void* slot) {
  uint64_t cell = 0;
  if (slot) std::memcpy(&cell, slot, sizeof(cell));
  return cell;
}

// A scalar accessor's way in: the record when the message and the field's
// kind allow the access.
MSRPBMessageInfo* fieldRecord(const NANOMessageBase* message, int32_t index, const char* operation, int32_t types,
                              const char* word) {
  MSRPBMessageInfo* info = recordOf(message, operation);
  return info && singularOf(*message, index, types, word) ? info : nullptr;
}

constexpr int32_t kInt32Types = MSRPBKindEnum | MSRPBKindInt32 | MSRPBKindUInt32;
constexpr int32_t kInt64Types = MSRPBKindInt64 | MSRPBKindUInt64;

// The platform's class name of an element, for the refusal texts.
std::string classNameOf(const MSRPBArrayElement& element) {
  if (const auto* message = std::get_if<std::shared_ptr<NANOMessageBase>>(&element)) {
    return *message ? std::string("MSRPB") + (*message)->messageID() : "(null)";
  }
  return MSRPBValueClassName(std::get<ns::Value>(element));
}

// One element of a repeated field as its value or message; absent (and
// left out) when it cannot be one.
std::optional<MSRPBArrayElement> elementOut(int32_t kind, const void* element, MSRPBMessageMaker maker) {
  if (!element) {
    MSRPBLogText("<ERROR> Unable to convert NULL data to an ObjC object");
    return std::nullopt;
  }
  switch (MSRPBKindType(kind)) {
    case MSRPBKindBool: return ns::Value((cellOf(element) & 0xff) != 0);
    case MSRPBKindInt32:
    case MSRPBKindEnum: return ns::Value(static_cast<int32_t>(cellOf(element)));
    case MSRPBKindUInt32: return ns::Value(static_cast<unsigned long long>(static_cast<uint32_t>(cellOf(element))));
    case MSRPBKindInt64: return ns::Value(static_cast<long long>(cellOf(element)));
    case MSRPBKindUInt64: return ns::Value(static_cast<unsigned long long>(cellOf(element)));
    case MSRPBKindFloat: {
      float number;
      std::memcpy(&number, element, sizeof(number));
      return ns::Value(number);
    }
    case MSRPBKindDouble: {
      double number;
      std::memcpy(&number, element, sizeof(number));
      return ns::Value(number);
    }
    case MSRPBKindString: {
      const auto* string = static_cast<const MSRPBStringField*>(element);
      std::string text(reinterpret_cast<const char*>(string->bytes), string->length);
      // Bytes that are no UTF-8 make no string.
      if (!ns::isValidUtf8(text)) return std::nullopt;
      return ns::Value(std::move(text));
    }
    case MSRPBKindBytes: {
      const auto* bytes = static_cast<const MSRPBStringField*>(element);
      return ns::Value(ns::Data(bytes->bytes, bytes->bytes + bytes->length));
    }
    case MSRPBKindMessage: {
      if (!maker) {
        MSRPBLogText("<ERROR> Provided class doesn't implement initWithMessageInfo: method. Class: (null)");
        return std::nullopt;
      }
      std::shared_ptr<NANOMessageBase> message = maker(static_cast<const MSRPBMessageInfo*>(element));
      if (!message) return std::nullopt;
      return MSRPBArrayElement(std::move(message));
    }
  }
  MSRPBLogText(ns::format("<ERROR> Unable to convert byte data to an ObjC object. Unknown type. %d", kind));
  return std::nullopt;
}

// Stores one array element into `slot`; false after logging why not.
bool elementIn(int32_t kind, const MSRPBMessageTable* elementTable, const MSRPBArrayElement& object, void** slot) {
  const ns::Value* value = std::get_if<ns::Value>(&object);
  const bool number = value && value->isNumber();
  auto refuse = [&](const char* expectation) {
    MSRPBLogText(ns::format("<ERROR> Invalid object type. %s. Type: %s", expectation, classNameOf(object).c_str()));
    return false;
  };
  switch (MSRPBKindType(kind)) {
    case MSRPBKindBool:
      if (!number) return refuse("Boolean fields expect NSNumber");
      return MSRPBFieldSetBool(slot, value->boolValue());
    case MSRPBKindInt32:
    case MSRPBKindUInt32:
      if (!number) return refuse("Int32 fields expect NSNumber");
      return MSRPBFieldSetUInt32(slot, static_cast<uint32_t>(value->unsignedValue()));
    case MSRPBKindInt64:
    case MSRPBKindUInt64:
      if (!number) return refuse("Int64 fields expect NSNumber");
      return MSRPBFieldSetUInt64(slot, static_cast<uint64_t>(value->integerValue()));
    case MSRPBKindFloat:
      if (!number) return refuse("Float fields expect NSNumber");
      return MSRPBFieldSetFloat(slot, static_cast<float>(value->doubleValue()));
    case MSRPBKindDouble:
      if (!number) return refuse("Double fields expect NSNumber");
      return MSRPBFieldSetDouble(slot, value->doubleValue());
    case MSRPBKindEnum:
      if (!number) return refuse("Enum fields expect NSNumber");
      return MSRPBFieldSetUInt32(slot, static_cast<uint32_t>(value->unsignedValue()));
    case MSRPBKindString:
      if (!value || !value->isString()) return refuse("String fields expect NSString");
      return MSRPBFieldSetStringFromObject(slot, value);
    case MSRPBKindBytes:
      if (!value || !value->isData()) return refuse("Bytes fields expect NSData");
      return MSRPBFieldSetBytesFromData(slot, value);
    case MSRPBKindMessage: {
      const auto* message = std::get_if<std::shared_ptr<NANOMessageBase>>(&object);
      if (!message || !*message) return refuse("Message fields expect NANOMessageBase");
      // An element of another message would be walked with the wrong
      // field list by every later encode, copy and free.
      if (std::strcmp((*message)->messageID(), elementTable->name) != 0) {
        return refuse(ns::format("Message fields expect MSRPB%s", elementTable->name).c_str());
      }
      MSRPBMessageInfo* copy = nullptr;
      bool copied = (*message)->copyMessageInfoFn()(&copy, (*message)->messageInfo());
      *slot = copy;  // freed with the field even when the copy stopped half-way
      return copied;
    }
  }
  MSRPBLogText(ns::format("<ERROR> Unable to convert ObjC object to byte data. Unknown type. %d", kind));
  return false;
}

}  // namespace

bool MSRPBMessageHasField(const NANOMessageBase* message, int32_t index) {
  MSRPBMessageInfo* info = message ? message->messageInfo() : nullptr;
  if (!info || !info->fields) {
    MSRPBLogText(ns::format("ProtocolBuffer message hasn't been initialized. HasField operation can't be performed. "
                            "Message name %s",
                            message ? message->messageID() : "(null)"));
    return false;
  }
  std::optional<int32_t> kind = kindAt(*message, index);
  if (!kind) return false;
  return (*kind & MSRPBKindRepeated) || info->fields[index] != nullptr;
}

void MSRPBMessageClearField(NANOMessageBase* message, int32_t index) {
  MSRPBMessageInfo* info = recordOf(message, "ClearField");
  if (info) message->deallocMessageFieldFn()(info, index);
}

bool MSRPBMessageGetBool(const NANOMessageBase* message, int32_t index) {
  MSRPBMessageInfo* info = fieldRecord(message, index, "GetBool", MSRPBKindBool, "BOOL");
  return info && info->fields[index] && (cellOf(info->fields[index]) & 0xff) != 0;
}

void MSRPBMessageSetBool(NANOMessageBase* message, int32_t index, bool value) {
  if (MSRPBMessageInfo* info = fieldRecord(message, index, "SetBool", MSRPBKindBool, "BOOL")) {
    MSRPBFieldSetBool(&info->fields[index], value);
  }
}

int32_t MSRPBMessageGetInt32(const NANOMessageBase* message, int32_t index) {
  MSRPBMessageInfo* info = fieldRecord(message, index, "GetInt32", kInt32Types, "INT32");
  return info ? static_cast<int32_t>(cellOf(info->fields[index])) : 0;
}

void MSRPBMessageSetInt32(NANOMessageBase* message, int32_t index, int32_t value) {
  if (MSRPBMessageInfo* info = fieldRecord(message, index, "SetInt32", kInt32Types, "INT32")) {
    MSRPBFieldSetUInt32(&info->fields[index], static_cast<uint32_t>(value));
  }
}

int64_t MSRPBMessageGetInt64(const NANOMessageBase* message, int32_t index) {
  MSRPBMessageInfo* info = fieldRecord(message, index, "GetInt64", kInt64Types, "INT64");
  return info ? static_cast<int64_t>(cellOf(info->fields[index])) : 0;
}

void MSRPBMessageSetInt64(NANOMessageBase* message, int32_t index, int64_t value) {
  if (MSRPBMessageInfo* info = fieldRecord(message, index, "SetInt64", kInt64Types, "INT64")) {
    MSRPBFieldSetUInt64(&info->fields[index], static_cast<uint64_t>(value));
  }
}

double MSRPBMessageGetDouble(const NANOMessageBase* message, int32_t index) {
  MSRPBMessageInfo* info = fieldRecord(message, index, "GetDouble", MSRPBKindDouble, "DOUBLE");
  if (!info || !info->fields[index]) return 0.0;
  double value;
  std::memcpy(&value, info->fields[index], sizeof(value));
  return value;
}

void MSRPBMessageSetDouble(NANOMessageBase* message, int32_t index, double value) {
  if (MSRPBMessageInfo* info = fieldRecord(message, index, "SetDouble", MSRPBKindDouble, "DOUBLE")) {
    MSRPBFieldSetDouble(&info->fields[index], value);
  }
}

std::optional<std::string> MSRPBMessageGetString(const NANOMessageBase* message, int32_t index) {
  MSRPBMessageInfo* info = fieldRecord(message, index, "GetString", MSRPBKindString, "STRING");
  if (!info || !info->fields[index]) return std::nullopt;
  const auto* string = static_cast<const MSRPBStringField*>(info->fields[index]);
  std::string text(reinterpret_cast<const char*>(string->bytes), string->length);
  if (!ns::isValidUtf8(text)) return std::nullopt;
  return text;
}

void MSRPBMessageSetString(NANOMessageBase* message, int32_t index, std::optional<std::string_view> value) {
  MSRPBMessageInfo* info = fieldRecord(message, index, "SetString", MSRPBKindString, "STRING");
  if (!info) return;
  if (!value) {
    message->deallocMessageFieldFn()(info, index);
    return;
  }
  MSRPBFieldSetString(&info->fields[index], reinterpret_cast<const uint8_t*>(value->data()), value->size());
}

const MSRPBMessageInfo* MSRPBMessageGetMessageInfo(const NANOMessageBase* message, int32_t index) {
  MSRPBMessageInfo* info = fieldRecord(message, index, "GetMessage", MSRPBKindMessage, "MESSAGE");
  return info ? static_cast<const MSRPBMessageInfo*>(info->fields[index]) : nullptr;
}

void MSRPBMessageSetMessage(NANOMessageBase* message, int32_t index, const NANOMessageBase& value) {
  MSRPBMessageInfo* info = fieldRecord(message, index, "SetMessage", MSRPBKindMessage, "MESSAGE");
  if (!info) return;
  const MSRPBMessageTable& element = *message->messageTable().fields[index].element;
  // A record of another message would be walked with the wrong field list
  // by every later encode, copy and free.
  if (std::strcmp(value.messageID(), element.name) != 0) {
    MSRPBLogText(ns::format("<Nano/Failure> Field type isn't a scalar MESSAGE of type %s. Message: %s, field ID: %d",
                            value.messageID(), message->messageID(), index));
    return;
  }
  // Copied before the field is cleared: the value may be this very field's
  // message handed back.
  MSRPBMessageInfo* copy = nullptr;
  if (!value.copyMessageInfoFn()(&copy, value.messageInfo())) {
    MSRPBTableDeallocMessageInfo(element, copy);
    return;
  }
  message->deallocMessageFieldFn()(info, index);
  info->fields[index] = copy;
}

std::optional<MSRPBArray> MSRPBMessageGetArray(const NANOMessageBase* message, int32_t index,
                                               MSRPBMessageMaker maker) {
  MSRPBMessageInfo* info = recordOf(message, "GetArray");
  if (!info || !repeatedAt(*message, index)) return std::nullopt;
  const auto* array = static_cast<const MSRPBRepeatedField*>(info->fields[index]);
  if (!array) {
    MSRPBLogText("<ERROR> Repeated field should have been allocated");
    return std::nullopt;
  }
  MSRPBArray elements;
  if (!array->elements) return elements;
  elements.reserve(array->count);
  int32_t kind = info->kinds[index];
  for (uint32_t i = 0; i < array->count; ++i) {
    if (auto element = elementOut(kind, array->elements[i], maker)) elements.push_back(std::move(*element));
  }
  return elements;
}

void MSRPBMessageSetArray(NANOMessageBase* message, int32_t index, const MSRPBArray& array) {
  MSRPBMessageInfo* info = recordOf(message, "SetArray");
  if (!info || !repeatedAt(*message, index)) return;
  auto* field = static_cast<MSRPBRepeatedField*>(info->fields[index]);
  if (!field) {
    MSRPBLogText("<ERROR> Repeated field should have been allocated");
    return;
  }
  // The copies are made before the field is cleared, so an element may be
  // this message itself, and a refused array leaves the field empty.
  const MSRPBFieldEntry& entry = message->messageTable().fields[index];
  void** elements = nullptr;
  size_t made = 0;
  bool whole = true;
  if (!array.empty()) {
    elements = static_cast<void**>(std::calloc(array.size(), sizeof(void*)));
    if (!elements) MSRPBLogText("<ERROR> Unable to set NULL data to an ObjC object");
    whole = elements != nullptr && array.size() <= UINT32_MAX;
    for (; whole && made < array.size(); ++made) {
      whole = elementIn(entry.kind, entry.element, array[made], &elements[made]);
    }
  }
  message->deallocMessageFieldFn()(info, index);
  if (whole) {
    field->elements = elements;
    field->count = static_cast<uint32_t>(array.size());
    return;
  }
  for (size_t i = 0; i < made; ++i) {
    if (elements[i]) MSRPBFreeValue(entry.kind, entry.element, elements[i]);
  }
  std::free(elements);
}
