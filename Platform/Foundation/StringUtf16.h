// Text as the platform counts it: strings are UTF-8 std::string, but every
// length, index and range the system uses is in UTF-16 code units. These
// functions convert between the two and slice by UTF-16 ranges.
//
// Invalid UTF-8 never fails: each maximal invalid sequence reads as one
// U+FFFD. A lone surrogate in UTF-16 (for example after a range cut a pair
// in two) becomes U+FFFD in UTF-8. Lengths and indices below agree with
// toUtf16() of the same text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Range.h"

namespace ns {

std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

// Number of UTF-16 code units of the text (the platform's `length`).
size_t utf16Length(std::string_view utf8);
bool isValidUtf8(std::string_view utf8);

// Index conversions. A UTF-16 index past the end gives the byte length; an
// index on the second half of a surrogate pair gives the character's start.
// A byte offset inside a multi-byte character gives that character's index.
size_t utf8OffsetForUtf16Index(std::string_view utf8, size_t index);
size_t utf16IndexForUtf8Offset(std::string_view utf8, size_t offset);

// The substring in a UTF-16 range; absent when the range exceeds the text
// (where the platform would raise a range exception).
std::optional<std::string> substringWithRange(std::string_view utf8, Range range);
std::optional<std::u16string> substringWithRange(std::u16string_view utf16, Range range);
// The same, with the range clamped to the text first.
std::string substringClamped(std::string_view utf8, Range range);
// The first `index` units / the units from `index` on, clamped.
std::string substringToIndex(std::string_view utf8, size_t index);
std::string substringFromIndex(std::string_view utf8, size_t index);

// Composed character sequences (user-perceived characters: a base with its
// combining marks, a surrogate pair, an emoji sequence). The range of the
// sequence containing `index`; {length of text, 0} past the end.
Range rangeOfComposedCharacterSequenceAtIndex(std::u16string_view utf16, size_t index);
// The range widened on both ends to whole composed character sequences.
Range rangeOfComposedCharacterSequencesForRange(std::u16string_view utf16, Range range);

// At most `maxLength` UTF-16 units from the start, cut back to a composed
// character boundary so that no pair or sequence is split.
std::string truncatedToUtf16Length(std::string_view utf8, size_t maxLength);

}  // namespace ns
