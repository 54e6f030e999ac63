#include "Libraries/WireMessages/MSRPBFieldRoutines.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "Libraries/WireMessages/MSRPBTextOutput.h"

namespace {

// T is uint64_t (the cell of every integer and bool), float or double.
template <class T>
int setCell(void** slot, T value, const char* typeName) {
  if (!slot) {
    MSRPBLogText(std::string("<ERROR> Unable to set ") + typeName + ". Destination pointer is NULL");
    return 0;
  }
  if (!*slot) {
    *slot = std::malloc(sizeof(T));
    if (!*slot) return 0;
  }
  std::memcpy(*slot, &value, sizeof(T));
  return 1;
}

}  // namespace

int MSRPBFieldResetArray(MSRPBRepeatedField* array) {
  if (!array) {
    MSRPBLogText("<ERROR> Unable to initialize the array. Array pointer is NULL");
    return 0;
  }
  std::free(array->elements);
  array->elements = nullptr;
  array->count = 0;
  array->fill = 0;
  return 1;
}

int MSRPBFieldDeallocString(MSRPBStringField* string) {
  if (!string) {
    MSRPBLogText("<ERROR> Unable to dealloc string field. String struct is NULL");
    return 0;
  }
  std::free(string->bytes);
  string->bytes = nullptr;
  string->length = 0;
  return 1;
}

int MSRPBFieldSetBool(void** slot, bool value) { return setCell<uint64_t>(slot, value ? 1 : 0, "bool"); }
int MSRPBFieldSetUInt32(void** slot, uint32_t value) { return setCell<uint64_t>(slot, value, "uint32"); }
int MSRPBFieldSetUInt64(void** slot, uint64_t value) { return setCell<uint64_t>(slot, value, "uint64"); }
int MSRPBFieldSetFloat(void** slot, float value) { return setCell<float>(slot, value, "float"); }
int MSRPBFieldSetDouble(void** slot, double value) { return setCell<double>(slot, value, "double"); }

int MSRPBFieldSetString(void** slot, const uint8_t* bytes, size_t length) {
  if (!slot) {
    MSRPBLogText("<ERROR> Unable to set string. Destination array is NULL");
    return 0;
  }
  if (length > UINT32_MAX) return 0;
  auto* buffer = static_cast<uint8_t*>(std::malloc(length + 1));
  if (!buffer) return 0;
  if (length) std::memcpy(buffer, bytes, length);
  buffer[length] = 0;
  auto* string = static_cast<MSRPBStringField*>(*slot);
  if (!string) {
    string = new (std::nothrow) MSRPBStringField;
    if (!string) {
      std::free(buffer);
      return 0;
    }
    *slot = string;
  }
  std::free(string->bytes);
  string->bytes = buffer;
  string->length = static_cast<uint32_t>(length);
  return 1;
}

int MSRPBFieldSetStringFromObject(void** slot, const ns::Value* object) {
  if (!object) return 1;
  const std::string* text = object->asString();
  if (!text) return 0;
  return MSRPBFieldSetString(slot, reinterpret_cast<const uint8_t*>(text->data()), text->size());
}

int MSRPBFieldSetBytesFromData(void** slot, const ns::Value* object) {
  if (!object) return 1;
  const ns::Data* data = object->asData();
  if (!data) return 0;
  return MSRPBFieldSetString(slot, data->data(), data->size());
}
