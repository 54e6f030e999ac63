// The sessions part's small helpers between platform values and nanopb:
// byte arrays from text and data and back, encoding a message into data
// with a described error, and the device facts the event and the settings
// request report by their system-control names.
//
// Byte arrays made here are malloc'd, so pb_release (or ZOVSESNanopbFree)
// frees them. A byte array holds at most 65,535 bytes (the library's 16-bit
// size); longer input gives no array.
#pragma once

#include <pb.h>

#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

inline constexpr const char* kZOVSESEncodeErrorDomain = "ZOVSESEncodeError";

// Frees what nanopb allocated; null is allowed.
void ZOVSESNanopbFree(void* pointer);

// Domain "ZOVSESEncodeError", code -1, `message` as the localized description.
ns::Error ZOVSESMakeEncodingError(const std::string& message);

// The stream's error text, "(none)" when it has none.
std::string ZOVSESNanopbErrorText(const pb_ostream_t& stream);
std::string ZOVSESNanopbErrorText(const pb_istream_t& stream);

// Encodes `message` (of the message type `fields` describes) into data of
// exactly its size: first counted, then written. Nothing on failure, and
// `error` (may be null) gets "Error in nanopb encoding to get size: <text>"
// or "Error in nanopb encoding: <text>".
std::optional<ns::Data> ZOVSESNanopbEncodeMessage(const pb_msgdesc_t* fields, const void* message, ns::Error* error);

// A new array with the length and a copy of the bytes; null when it cannot
// be made.
pb_bytes_array_t* ZOVSESBytesArrayFromData(const ns::Data& data);
// The UTF-8 bytes of `text`; a missing text gives an empty array (size 0,
// not null).
pb_bytes_array_t* ZOVSESBytesArrayFromString(const std::optional<std::string>& text);
// The bytes read as UTF-8 text; size 0 gives "". `array` must not be null.
std::string ZOVSESStringFromBytesArray(const pb_bytes_array_t* array);

// The tag of the event's Apple application information (6), the platform
// alternative this system fills.
pb_size_t ZOVSESAppleAppInfoTag();

// A device fact by its system-control name: "hw.machine" (the model
// identifier) and "kern.osversion" (the system's build). Nothing for any
// other name, or when the fact is empty.
std::optional<std::string> ZOVSESSysctlString(const std::string& name);
