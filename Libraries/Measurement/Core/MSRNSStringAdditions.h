// Text helpers of the measurement engine: query strings both ways (fetch
// URLs and deep-link arguments) and lengths in Unicode scalar values, which
// the engine's name and value limits count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Value.h"

// Every "+" becomes a space, then %XX escapes are decoded; nothing when an
// escape is malformed or the result is not valid UTF-8.
std::optional<std::string> msr_stringByUnescapingFromURLArgument(std::string_view text);

// The number of Unicode scalar values of the text.
size_t msr_UTF32Length(std::string_view text);

// The text's UTF-32 little-endian bytes, at most maxBytes of them, written
// into buffer.
void msr_getUTF32Bytes(std::string_view text, uint8_t* buffer, size_t maxBytes);

// "key=value" pairs in the dictionary's order joined by "&", each key and
// value written as text and percent-encoded with the URL-query set ("&" and
// "=" belong to it and stay as they are). "" for an empty dictionary.
std::string msr_queryString(const ns::Dictionary& dictionary);

// The dictionary of a query string: pieces split at "&", each "key=value"
// (or a bare key with the empty value) unescaped; when a key occurs twice
// the first occurrence wins, and an unescaping that fails gives "".
ns::Dictionary msr_dictionaryWithHttpArgumentsString(std::string_view text);
