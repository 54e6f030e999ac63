#include "Platform/Foundation/StringUtf16.h"

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <memory>
#include <mutex>

namespace ns {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one character at s[i], advancing i. Invalid input consumes its
// maximal invalid subpart and yields U+FFFD.
char32_t decodeUtf8(std::string_view s, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  uint8_t b = byte(i);
  if (b < 0x80) {
    ++i;
    return b;
  }
  size_t need;
  char32_t cp;
  uint8_t lo = 0x80, hi = 0xBF;  // bounds of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2;
    cp = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3;
    cp = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    ++i;
    return kReplacement;
  }
  size_t k = i + 1;
  for (size_t n = 0; n < need; ++n, ++k) {
    if (k >= s.size()) {
      i = k;
      return kReplacement;
    }
    uint8_t c = byte(k);
    uint8_t min = n == 0 ? lo : 0x80, max = n == 0 ? hi : 0xBF;
    if (c < min || c > max) {
      i = k;
      return kReplacement;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  i = k;
  return cp;
}

size_t unitsOf(char32_t cp) { return cp >= 0x10000 ? 2 : 1; }

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool isLead(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isTrail(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

Range clamp(Range range, size_t length) {
  size_t start = range.location < length ? range.location : length;
  size_t room = length - start;
  return Range{start, range.length < room ? range.length : room};
}

bool fits(Range range, size_t length) {
  return range.location <= length && range.length <= length - range.location;
}

// A character break iterator is costly to make; keep one per thread, with
// the string it reads (the iterator keeps a reference to that string).
struct CharacterBreaks {
  std::unique_ptr<icu::BreakIterator> iterator;
  icu::UnicodeString text;
};

CharacterBreaks& characterBreaks() {
  thread_local CharacterBreaks breaks = [] {
    CharacterBreaks b;
    UErrorCode status = U_ZERO_ERROR;
    b.iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) b.iterator.reset();
    return b;
  }();
  return breaks;
}

}  // namespace

std::u16string toUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = decodeUtf8(utf8, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string toUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char16_t c = utf16[i];
    if (isLead(c) && i + 1 < utf16.size() && isTrail(utf16[i + 1])) {
      appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else if (isLead(c) || isTrail(c)) {
      appendUtf8(out, kReplacement);
    } else {
      appendUtf8(out, c);
    }
  }
  return out;
}

size_t utf16Length(std::string_view utf8) {
  size_t n = 0;
  for (size_t i = 0; i < utf8.size();) n += unitsOf(decodeUtf8(utf8, i));
  return n;
}

bool isValidUtf8(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    size_t start = i;
    if (decodeUtf8(utf8, i) == kReplacement) {
      // A genuine U+FFFD is three bytes EF BF BD.
      if (utf8.substr(start, i - start) != "\xEF\xBF\xBD") return false;
    }
  }
  return true;
}

size_t utf8OffsetForUtf16Index(std::string_view utf8, size_t index) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) {
    size_t start = i;
    units += unitsOf(decodeUtf8(utf8, i));
    if (units > index) return start;
  }
  return utf8.size();
}

size_t utf16IndexForUtf8Offset(std::string_view utf8, size_t offset) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = decodeUtf8(utf8, i);
    if (offset < i) return units;  // offset lies in this character
    units += unitsOf(cp);
  }
  return units;
}

std::optional<std::string> substringWithRange(std::string_view utf8, Range range) {
  std::u16string text = toUtf16(utf8);
  if (!fits(range, text.size())) return std::nullopt;
  return toUtf8(std::u16string_view(text).substr(range.location, range.length));
}

std::optional<std::u16string> substringWithRange(std::u16string_view utf16, Range range) {
  if (!fits(range, utf16.size())) return std::nullopt;
  return std::u16string(utf16.substr(range.location, range.length));
}

std::string substringClamped(std::string_view utf8, Range range) {
  std::u16string text = toUtf16(utf8);
  Range r = clamp(range, text.size());
  return toUtf8(std::u16string_view(text).substr(r.location, r.length));
}

std::string substringToIndex(std::string_view utf8, size_t index) {
  return substringClamped(utf8, Range{0, index});
}

std::string substringFromIndex(std::string_view utf8, size_t index) {
  return substringClamped(utf8, Range{index, kNotFound});
}

Range rangeOfComposedCharacterSequenceAtIndex(std::u16string_view utf16, size_t index) {
  if (index >= utf16.size()) return Range{utf16.size(), 0};
  CharacterBreaks& breaks = characterBreaks();
  icu::BreakIterator* it = breaks.iterator.get();
  if (!it) {
    // Without ICU data, still never split a surrogate pair.
    size_t start = index > 0 && isTrail(utf16[index]) && isLead(utf16[index - 1]) ? index - 1 : index;
    size_t end = start + 1 < utf16.size() && isLead(utf16[start]) && isTrail(utf16[start + 1])
                     ? start + 2 : start + 1;
    return Range{start, end - start};
  }
  // A read-only alias of the caller's text, replaced on every call.
  breaks.text.setTo(false, utf16.data(), static_cast<int32_t>(utf16.size()));
  it->setText(breaks.text);
  // ICU moves an offset inside a surrogate pair before looking; start from
  // the pair's first unit so that the pair's own boundary is found.
  if (index > 0 && isTrail(utf16[index]) && isLead(utf16[index - 1])) --index;
  int32_t i = static_cast<int32_t>(index);
  int32_t start = it->isBoundary(i) ? i : it->preceding(i);
  int32_t end = it->following(i);
  if (start < 0) start = 0;
  if (end < 0 || end == icu::BreakIterator::DONE) end = static_cast<int32_t>(utf16.size());
  return Range{static_cast<size_t>(start), static_cast<size_t>(end - start)};
}

Range rangeOfComposedCharacterSequencesForRange(std::u16string_view utf16, Range range) {
  Range r = clamp(range, utf16.size());
  size_t start = rangeOfComposedCharacterSequenceAtIndex(utf16, r.location).location;
  size_t end = r.end();
  if (end < utf16.size()) {
    Range last = rangeOfComposedCharacterSequenceAtIndex(utf16, end);
    if (last.location < end) end = last.end();  // the end falls inside a sequence
  }
  return Range{start, end - start};
}

std::string truncatedToUtf16Length(std::string_view utf8, size_t maxLength) {
  std::u16string text = toUtf16(utf8);
  if (text.size() <= maxLength) return std::string(utf8);
  size_t cut = rangeOfComposedCharacterSequenceAtIndex(text, maxLength).location;
  return toUtf8(std::u16string_view(text).substr(0, cut));
}

}  // namespace ns
