#include "Libraries/Measurement/Core/MSRNSStringAdditions.h"

#include <cstring>
#include <vector>

#include "Platform/Foundation/StringUtf16.h"
#include "Platform/Foundation/URL.h"

std::optional<std::string> msr_stringByUnescapingFromURLArgument(std::string_view text) {
  std::string spaced(text);
  for (char& c : spaced)
    if (c == '+') c = ' ';
  return ns::percentDecode(spaced);
}

namespace {

std::u32string scalarsOf(std::string_view text) {
  std::u16string units = ns::toUtf16(text);
  std::u32string scalars;
  scalars.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    scalars.push_back(c);
  }
  return scalars;
}

}  // namespace

size_t msr_UTF32Length(std::string_view text) { return scalarsOf(text).size(); }

void msr_getUTF32Bytes(std::string_view text, uint8_t* buffer, size_t maxBytes) {
  size_t written = 0;
  for (char32_t c : scalarsOf(text)) {
    for (int shift = 0; shift < 32 && written < maxBytes; shift += 8)
      buffer[written++] = static_cast<uint8_t>(c >> shift);
    if (written == maxBytes) return;
  }
}

std::string msr_queryString(const ns::Dictionary& dictionary) {
  std::string query;
  for (const auto& [key, value] : dictionary) {
    if (!query.empty()) query += '&';
    query += ns::percentEncode(key, ns::URLCharacterSet::Query).value_or("");
    query += '=';
    query += ns::percentEncode(value.description(), ns::URLCharacterSet::Query).value_or("");
  }
  return query;
}

ns::Dictionary msr_dictionaryWithHttpArgumentsString(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (true) {
    size_t end = text.find('&', start);
    pieces.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  ns::Dictionary arguments;
  // From last to first, so that the first occurrence of a key is written last.
  for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
    if (piece->empty()) continue;
    size_t equals = piece->find('=');
    std::string_view key = piece->substr(0, equals);
    std::string_view value = equals == std::string_view::npos ? std::string_view() : piece->substr(equals + 1);
    arguments.set(msr_stringByUnescapingFromURLArgument(key).value_or(""),
                  ns::Value(msr_stringByUnescapingFromURLArgument(value).value_or("")));
  }
  return arguments;
}
