#include "Platform/CoreData/TextMatching.h"

#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "Platform/Foundation/Device.h"

namespace cd {

namespace {

bool isAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

// The folding of any text, through ICU.
std::string foldWithIcu(std::string_view text, bool caseInsensitive, bool diacriticInsensitive) {
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString s = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  if (caseInsensitive) s.foldCase();
  // Composed form when accents matter, so "cafe" is not found inside "café".
  const icu::Normalizer2* normalizer = diacriticInsensitive ? icu::Normalizer2::getNFDInstance(status)
                                                            : icu::Normalizer2::getNFCInstance(status);
  if (U_SUCCESS(status)) s = normalizer->normalize(s, status);
  if (diacriticInsensitive && U_SUCCESS(status)) {
    icu::UnicodeString stripped;
    for (int32_t i = 0; i < s.length();) {
      UChar32 c = s.char32At(i);
      if (u_getCombiningClass(c) == 0 && u_charType(c) != U_NON_SPACING_MARK) stripped.append(c);
      i += U16_LENGTH(c);
    }
    s = stripped;
  }
  std::string out;
  s.toUTF8String(out);
  return out;
}

}  // namespace

// Most text is ASCII, whose folding is plain: case folding maps A-Z to a-z
// and nothing else, no ASCII character decomposes, and none has a mark to
// drop. So ASCII is folded here and only the rest goes through ICU, in
// pieces cut where nothing can join across the cut: between two ASCII
// characters (they never compose with each other), and before an ASCII
// character that follows other text (an ASCII character is never the
// second part of a composition, and marks are never reordered across it).
// The ASCII character just before other text goes with it, as a mark after
// it may compose with it.
std::string foldForMatching(std::string_view text, bool caseInsensitive, bool diacriticInsensitive) {
  if (!caseInsensitive && !diacriticInsensitive) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    size_t other = i;
    while (other < text.size() && isAscii(text[other])) ++other;
    // ASCII up to the character before the other text (or to the end).
    const size_t plainEnd = other < text.size() && other > i ? other - 1 : other;
    for (size_t k = i; k < plainEnd; ++k) {
      char c = text[k];
      out += caseInsensitive && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (other == text.size()) break;
    size_t end = other;
    while (end < text.size() && !isAscii(text[end])) ++end;
    out += foldWithIcu(text.substr(plainEnd, end - plainEnd), caseInsensitive, diacriticInsensitive);
    i = end;
  }
  return out;
}

namespace {

// Whether every byte is ASCII, eight at a time.
bool allAscii(std::string_view text) {
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if (word & 0x8080808080808080ULL) return false;
  }
  for (; i < text.size(); ++i) {
    if (!isAscii(text[i])) return false;
  }
  return true;
}

}  // namespace

bool containsForMatching(std::string_view text, std::string_view foldedNeedle, bool caseInsensitive,
                         bool diacriticInsensitive) {
  if (foldedNeedle.empty()) return false;
  if (!allAscii(text)) {
    return foldForMatching(text, caseInsensitive, diacriticInsensitive).find(foldedNeedle) != std::string::npos;
  }
  // ASCII folds to ASCII: other text is never in it.
  if (!allAscii(foldedNeedle)) return false;
  if (!caseInsensitive) return text.find(foldedNeedle) != std::string_view::npos;
  // Folded ASCII is the text lowered, made in a buffer kept by the thread.
  thread_local std::string lowered;
  lowered.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    lowered[i] = static_cast<char>(c + (static_cast<unsigned char>(c - 'A') < 26 ? 32 : 0));
  }
  return std::string_view(lowered).find(foldedNeedle) != std::string_view::npos;
}

namespace {

// ICU collators are not to be shared across threads; each thread keeps its
// own for the locale it was made for.
const icu::Collator* collatorForLocale(const std::string& locale) {
  thread_local std::string cachedLocale;
  thread_local std::unique_ptr<icu::Collator> collator;
  if (!collator || cachedLocale != locale) {
    UErrorCode status = U_ZERO_ERROR;
    collator.reset(icu::Collator::createInstance(icu::Locale::createCanonical(locale.c_str()), status));
    if (U_FAILURE(status) || !collator) {
      status = U_ZERO_ERROR;
      collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    if (collator) collator->setStrength(icu::Collator::SECONDARY);
    cachedLocale = locale;
  }
  return collator.get();
}

}  // namespace

int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
  std::string locale = ns::Device::isBooted() ? ns::Device::current().facts().localeIdentifier : "en_US";
  const icu::Collator* collator = collatorForLocale(locale);
  if (!collator) return a.compare(b);
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                             icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

}  // namespace cd
