// The routines that store one value into a slot of a message record (or an
// element of a repeated record), shared by the coder and the accessors.
// Each gives 1 on success and 0 on failure. A NULL destination logs its
// text to the system log: "<ERROR> Unable to set bool. Destination pointer
// is NULL" (likewise uint32, uint64, float, double), "<ERROR> Unable to set
// string. Destination array is NULL", "<ERROR> Unable to initialize the
// array. Array pointer is NULL", "<ERROR> Unable to dealloc string field.
// String struct is NULL".
#pragma once

#include <cstddef>
#include <cstdint>

#include "Libraries/WireMessages/MSRPBMessageInfo.h"
#include "Platform/Foundation/Value.h"

// Frees the element array (not the elements); count and fill become 0.
int MSRPBFieldResetArray(MSRPBRepeatedField* array);
// Frees the string's bytes (not the record).
int MSRPBFieldDeallocString(MSRPBStringField* string);

// Store a value into a slot, allocating the cell when the slot is empty
// (8 bytes; 4 for a float) and overwriting it otherwise.
int MSRPBFieldSetBool(void** slot, bool value);
int MSRPBFieldSetUInt32(void** slot, uint32_t value);
int MSRPBFieldSetUInt64(void** slot, uint64_t value);
int MSRPBFieldSetFloat(void** slot, float value);
int MSRPBFieldSetDouble(void** slot, double value);

// Copies the bytes into the slot's string record (made when the slot is
// empty; its old bytes freed), with a terminating zero after them.
int MSRPBFieldSetString(void** slot, const uint8_t* bytes, size_t length);
// The same from a string value; a null object succeeds and does nothing,
// any other value fails.
int MSRPBFieldSetStringFromObject(void** slot, const ns::Value* object);
// The same from a data value.
int MSRPBFieldSetBytesFromData(void** slot, const ns::Value* object);
