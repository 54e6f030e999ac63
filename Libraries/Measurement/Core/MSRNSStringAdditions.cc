#include "Libraries/Measurement/Core/MSRNSStringAdditions.h"

#include <vector>

#include <unicode/utf8.h>

#include "Platform/Foundation/URL.h"

std::optional<std::string> msr_stringByUnescapingFromURLArgument(std::string_view text) {
  std::string spaced(text);
  for (char& c : spaced)
    if (c == '+') c = ' ';
  return ns::percentDecode(spaced);
}

namespace {

// Calls visit with each Unicode scalar value of the text; an invalid
// sequence reads as one U+FFFD, as everywhere else on the platform.
template <class Visit>
void forEachScalar(std::string_view text, Visit visit) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  int64_t index = 0, length = static_cast<int64_t>(text.size());
  while (index < length) {
    UChar32 c;
    U8_NEXT(bytes, index, length, c);
    if (!visit(c < 0 ? char32_t{0xFFFD} : static_cast<char32_t>(c))) return;
  }
}

}  // namespace

size_t msr_UTF32Length(std::string_view text) {
  size_t count = 0;
  forEachScalar(text, [&](char32_t) { return ++count, true; });
  return count;
}

void msr_getUTF32Bytes(std::string_view text, uint8_t* buffer, size_t maxBytes) {
  size_t written = 0;
  forEachScalar(text, [&](char32_t c) {
    for (int shift = 0; shift < 32 && written < maxBytes; shift += 8) buffer[written++] = static_cast<uint8_t>(c >> shift);
    return written < maxBytes;
  });
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
