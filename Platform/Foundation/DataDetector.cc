#include "Platform/Foundation/DataDetector.h"

#include <algorithm>
#include <memory>

#include "Platform/Foundation/RegularExpression.h"
#include "Platform/Foundation/StringUtf16.h"

namespace ns {

namespace {

// A link: a scheme, "www.", a mail address, or a host ending in a common
// top-level domain; then anything up to white space, less trailing
// punctuation that ends the sentence around it.
constexpr const char* kLinkPattern =
    R"((?:(?:https?|ftp)://[^\s<>"]+|www\.[^\s<>"]+|[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,})"
    R"(|\b[A-Za-z0-9][A-Za-z0-9-]*(?:\.[A-Za-z0-9-]+)*\.(?:com|org|net|edu|gov|io|info|de|uk|fr|ch|eu)\b(?:/[^\s<>"]*)?))";
// A phone number: seven or more digits, with an optional "+" before them and
// single separators between them, not part of a longer word.
constexpr const char* kPhonePattern = R"((?<![\w+.])\+?\(?\d[\d ().-]*\d(?!\w))";

// Compiled once; a compiled expression may be shared between threads.
const RegularExpression& linkExpression() {
  static const auto link = RegularExpression::make(kLinkPattern, RegularExpression::kCaseInsensitive);
  return *link;
}
const RegularExpression& phoneExpression() {
  static const auto phone = RegularExpression::make(kPhonePattern);
  return *phone;
}

bool isTrailingPunctuation(char16_t c) {
  return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == ')' || c == '\'';
}

size_t digitCount(std::u16string_view text, Range range) {
  return static_cast<size_t>(std::count_if(text.begin() + range.location, text.begin() + range.location + range.length,
                                           [](char16_t c) { return c >= '0' && c <= '9'; }));
}

bool overlaps(Range a, Range b) { return a.location < b.location + b.length && b.location < a.location + a.length; }

}  // namespace

std::vector<TextCheckingResult> DataDetector::matches(std::u16string_view text) const {
  std::vector<TextCheckingResult> out;
  if (types_ & kTextCheckingTypeLink) {
    for (const auto& m : linkExpression().matches(text)) {
      Range r = m.range();
      while (r.length > 0 && isTrailingPunctuation(text[r.location + r.length - 1])) --r.length;
      if (r.length > 0) out.push_back({kTextCheckingTypeLink, r});
    }
  }
  if (types_ & kTextCheckingTypePhoneNumber) {
    for (const auto& m : phoneExpression().matches(text)) {
      Range r = m.range();
      size_t digits = digitCount(text, r);
      if (digits < 7 || digits > 15) continue;
      bool inLink = std::any_of(out.begin(), out.end(), [&](const TextCheckingResult& link) {
        return link.type == kTextCheckingTypeLink && overlaps(link.range, r);
      });
      if (!inLink) out.push_back({kTextCheckingTypePhoneNumber, r});
    }
  }
  std::sort(out.begin(), out.end(),
            [](const TextCheckingResult& a, const TextCheckingResult& b) { return a.range.location < b.range.location; });
  return out;
}

std::vector<TextCheckingResult> DataDetector::matches(std::string_view utf8) const {
  std::u16string text = toUtf16(utf8);
  return matches(std::u16string_view(text));
}

}  // namespace ns
