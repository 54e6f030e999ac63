// JSON text to and from ns::Value.
//
// Reading keeps object key order as in the text, tells integers from reals
// (1 reads as an integer, 1.0 and 1e2 as reals), and maps null to a null
// Value. Writing follows the platform's serializer: compact by default,
// "/" escaped as "\/" unless asked not to, non-ASCII text written as UTF-8,
// and, when pretty printed, two-space indentation with " : " after keys.
// Bad input or a value without a JSON form gives an ns::Error of the Cocoa
// domain; nothing throws.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

namespace ns {

struct JsonReadingOptions {
  // Accept a top-level value that is not an object or array.
  bool fragmentsAllowed = false;
};

struct JsonWritingOptions {
  bool prettyPrinted = false;
  bool sortedKeys = false;             // by UTF-8 bytes, at every level
  bool withoutEscapingSlashes = false;  // write "/" as is
  bool fragmentsAllowed = false;        // accept a top-level scalar
};

// Error code of the Cocoa domain for unreadable JSON (shared with property lists).
inline constexpr int64_t kJsonReadCorruptError = 3840;
// Error code for a value that has no JSON form.
inline constexpr int64_t kJsonWriteInvalidError = 3852;

std::optional<Value> jsonObjectFromData(const Data& data, Error* error, JsonReadingOptions options = {});
std::optional<Value> jsonObjectFromString(std::string_view text, Error* error, JsonReadingOptions options = {});

std::optional<Data> dataFromJsonObject(const Value& value, Error* error, JsonWritingOptions options = {});
std::optional<std::string> jsonStringFromObject(const Value& value, Error* error, JsonWritingOptions options = {});

// Whether `value` can be written: an array or dictionary at the top whose
// members are strings (valid UTF-8), finite numbers, bools, null, arrays
// and dictionaries.
bool isValidJsonObject(const Value& value);

}  // namespace ns
