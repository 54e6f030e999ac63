#include "Platform/Foundation/StringCase.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/stringoptions.h>
#include <unicode/unistr.h>

#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

icu::Locale localeOf(std::string_view identifier) {
  if (identifier.empty()) return icu::Locale::getRoot();
  return icu::Locale(std::string(identifier).c_str());
}

icu::UnicodeString unicodeOf(std::string_view text) {
  std::u16string u = toUtf16(text);
  return icu::UnicodeString(u.data(), static_cast<int32_t>(u.size()));
}

std::string utf8Of(const icu::UnicodeString& s) {
  return toUtf8(std::u16string_view(s.getBuffer(), static_cast<size_t>(s.length())));
}

}  // namespace

std::string lowercaseString(std::string_view text, std::string_view localeIdentifier) {
  icu::UnicodeString s = unicodeOf(text);
  s.toLower(localeOf(localeIdentifier));
  return utf8Of(s);
}

std::string uppercaseString(std::string_view text, std::string_view localeIdentifier) {
  icu::UnicodeString s = unicodeOf(text);
  s.toUpper(localeOf(localeIdentifier));
  return utf8Of(s);
}

std::u16string lowercaseString(std::u16string_view text, std::string_view localeIdentifier) {
  icu::UnicodeString s(text.data(), static_cast<int32_t>(text.size()));
  s.toLower(localeOf(localeIdentifier));
  return std::u16string(s.getBuffer(), static_cast<size_t>(s.length()));
}

std::u16string uppercaseString(std::u16string_view text, std::string_view localeIdentifier) {
  icu::UnicodeString s(text.data(), static_cast<int32_t>(text.size()));
  s.toUpper(localeOf(localeIdentifier));
  return std::u16string(s.getBuffer(), static_cast<size_t>(s.length()));
}

std::string capitalizedString(std::string_view text, std::string_view localeIdentifier) {
  icu::Locale locale = localeOf(localeIdentifier);
  icu::UnicodeString s = unicodeOf(text);
  icu::UnicodeString out;
  int32_t i = 0;
  while (i < s.length()) {
    UChar32 c = s.char32At(i);
    if (isWhitespaceOrNewline(static_cast<char32_t>(c))) {
      out.append(c);
      i += U16_LENGTH(c);
      continue;
    }
    // A word: its first character titled, the rest lowered.
    int32_t end = i;
    while (end < s.length() && !isWhitespaceOrNewline(static_cast<char32_t>(s.char32At(end)))) {
      end += U16_LENGTH(s.char32At(end));
    }
    icu::UnicodeString head(c);
    head.toTitle(nullptr, locale, U_TITLECASE_NO_LOWERCASE | U_TITLECASE_NO_BREAK_ADJUSTMENT);
    icu::UnicodeString rest(s, i + U16_LENGTH(c), end - i - U16_LENGTH(c));
    rest.toLower(locale);
    out.append(head).append(rest);
    i = end;
  }
  return utf8Of(out);
}

std::string localizedLowercaseString(std::string_view text) {
  return lowercaseString(text, currentLocaleIdentifier());
}

std::string localizedUppercaseString(std::string_view text) {
  return uppercaseString(text, currentLocaleIdentifier());
}

std::string localizedCapitalizedString(std::string_view text) {
  return capitalizedString(text, currentLocaleIdentifier());
}

}  // namespace ns
