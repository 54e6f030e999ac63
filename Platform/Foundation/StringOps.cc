#include "Platform/Foundation/StringOps.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include "Platform/Foundation/StringSearch.h"

namespace ns {
namespace {

// The code point at s[i] (advancing i); negative for invalid input.
int32_t next(std::string_view s, size_t& i) {
  int32_t pos = static_cast<int32_t>(i);
  UChar32 c;
  U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), pos, static_cast<int32_t>(s.size()), c);
  i = static_cast<size_t>(pos);
  return c;
}

// The code point ending at s[i] (moving i back to its start).
int32_t previous(std::string_view s, size_t& i) {
  int32_t pos = static_cast<int32_t>(i);
  UChar32 c;
  U8_PREV(reinterpret_cast<const uint8_t*>(s.data()), 0, pos, c);
  i = static_cast<size_t>(pos);
  return c;
}

}  // namespace

bool isWhitespace(char32_t c) {
  return c == U'\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

bool isNewline(char32_t c) {
  return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

std::string trimmingCharacters(std::string_view text, bool (*inSet)(char32_t)) {
  size_t begin = 0;
  while (begin < text.size()) {
    size_t i = begin;
    int32_t c = next(text, i);
    if (c < 0 || !inSet(static_cast<char32_t>(c))) break;
    begin = i;
  }
  size_t end = text.size();
  while (end > begin) {
    size_t i = end;
    int32_t c = previous(text, i);
    if (c < 0 || !inSet(static_cast<char32_t>(c))) break;
    end = i;
  }
  return std::string(text.substr(begin, end - begin));
}

std::u16string trimmingWhitespaceAndNewlines(std::u16string_view text) {
  // A lone surrogate is no white space, and stays.
  size_t begin = 0;
  while (begin < text.size()) {
    size_t i = begin;
    UChar32 c;
    U16_NEXT(text.data(), i, text.size(), c);
    if (!isWhitespaceOrNewline(static_cast<char32_t>(c))) break;
    begin = i;
  }
  size_t end = text.size();
  while (end > begin) {
    size_t i = end;
    UChar32 c;
    U16_PREV(text.data(), begin, i, c);
    if (!isWhitespaceOrNewline(static_cast<char32_t>(c))) break;
    end = i;
  }
  return std::u16string(text.substr(begin, end - begin));
}

std::string trimmingWhitespace(std::string_view text) { return trimmingCharacters(text, isWhitespace); }

std::string trimmingWhitespaceAndNewlines(std::string_view text) {
  return trimmingCharacters(text, isWhitespaceOrNewline);
}

namespace {

// The pieces between non-overlapping occurrences, found in linear time.
template <class Char>
std::vector<std::basic_string<Char>> split(std::basic_string_view<Char> text, std::basic_string_view<Char> separator) {
  std::vector<std::basic_string<Char>> parts;
  if (separator.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  SubstringSearcher<Char> searcher(separator);
  size_t from = 0;
  for (size_t at; (at = searcher.find(text, from)) != SubstringSearcher<Char>::npos; from = at + separator.size()) {
    parts.emplace_back(text.substr(from, at - from));
  }
  parts.emplace_back(text.substr(from));
  return parts;
}

}  // namespace

std::vector<std::string> componentsSeparatedByString(std::string_view text, std::string_view separator) {
  return split(text, separator);
}

std::vector<std::u16string> componentsSeparatedByString(std::u16string_view text, std::u16string_view separator) {
  return split(text, separator);
}

std::vector<std::string> componentsSeparatedByCharacters(std::string_view text, bool (*inSet)(char32_t)) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t i = 0; i < text.size();) {
    size_t start = i;
    int32_t c = next(text, i);
    if (c >= 0 && inSet(static_cast<char32_t>(c))) {
      parts.emplace_back(text.substr(from, start - from));
      from = i;
    }
  }
  parts.emplace_back(text.substr(from));
  return parts;
}

std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

bool hasPrefix(std::string_view text, std::string_view prefix) {
  return !prefix.empty() && text.starts_with(prefix);
}

bool hasSuffix(std::string_view text, std::string_view suffix) {
  return !suffix.empty() && text.ends_with(suffix);
}

std::string replacingOccurrences(std::string_view text, std::string_view target, std::string_view replacement) {
  if (target.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  SubstringSearcher<char> searcher(target);
  size_t from = 0;
  for (size_t at; (at = searcher.find(text, from)) != std::string_view::npos; from = at + target.size()) {
    out.append(text.substr(from, at - from));
    out.append(replacement);
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace ns
