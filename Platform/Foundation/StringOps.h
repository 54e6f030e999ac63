// Everyday edits of UTF-8 text: trimming white space and line breaks (the
// platform's Unicode character sets), splitting by a separator, prefix and
// suffix tests, and replacing occurrences. Matching here is exact (byte for
// byte); for case- or accent-blind matching see StringCompare.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ns {

// White space: general category Zs and tab. Newlines: U+000A-U+000D,
// U+0085, U+2028, U+2029.
bool isWhitespace(char32_t c);
bool isNewline(char32_t c);
inline bool isWhitespaceOrNewline(char32_t c) { return isWhitespace(c) || isNewline(c); }

// Removes characters of the set from both ends. Invalid UTF-8 in the
// middle is kept as it is; at the ends it is not white space.
std::string trimmingWhitespace(std::string_view text);
std::string trimmingWhitespaceAndNewlines(std::string_view text);
// The same over UTF-16, where a lone surrogate is kept as it is.
std::u16string trimmingWhitespaceAndNewlines(std::u16string_view text);
std::string trimmingCharacters(std::string_view text, bool (*inSet)(char32_t));

// The pieces between occurrences of `separator`; an empty separator or text
// without it gives the whole text as the one piece. Adjacent separators
// give empty pieces, as the platform does.
// Linear in the two lengths.
std::vector<std::string> componentsSeparatedByString(std::string_view text, std::string_view separator);
std::vector<std::u16string> componentsSeparatedByString(std::u16string_view text, std::u16string_view separator);
// Pieces between runs of any character of the set (each character
// separates, so runs give empty pieces).
std::vector<std::string> componentsSeparatedByCharacters(std::string_view text, bool (*inSet)(char32_t));
std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator);

// An empty prefix or suffix is never had, as on the platform.
bool hasPrefix(std::string_view text, std::string_view prefix);
bool hasSuffix(std::string_view text, std::string_view suffix);

// Every occurrence of `target`, left to right without overlap; an empty
// target changes nothing.
std::string replacingOccurrences(std::string_view text, std::string_view target, std::string_view replacement);

}  // namespace ns
