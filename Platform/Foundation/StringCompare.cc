#include "Platform/Foundation/StringCompare.h"

#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <map>
#include <memory>
#include <vector>

#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/StringSearch.h"
#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

// Text prepared for matching under options: each code point of the
// original becomes a fragment (decomposed, case-folded, marks dropped as
// the options ask). `origin[k]` is where the fragment holding folded unit k
// starts in the original; `starts[k]` says whether unit k begins one.
struct Folded {
  std::u16string units;
  std::vector<size_t> origin;
  std::vector<bool> starts;
};

Folded fold(std::u16string_view text, unsigned options) {
  Folded out;
  out.units.reserve(text.size());
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = (options & kLiteral) ? nullptr : icu::Normalizer2::getNFDInstance(status);
  if (U_FAILURE(status)) nfd = nullptr;

  icu::UnicodeString piece;
  for (size_t i = 0; i < text.size();) {
    size_t at = i;
    UChar32 c;
    U16_NEXT(text.data(), i, text.size(), c);
    if (!nfd || !nfd->getDecomposition(c, piece)) piece.setTo(c);
    if (options & kCaseInsensitive) piece.foldCase();
    bool first = true;
    for (int32_t k = 0; k < piece.length();) {
      UChar32 d = piece.char32At(k);
      int32_t n = U16_LENGTH(d);
      k += n;
      if ((options & kDiacriticInsensitive) && u_charType(d) == U_NON_SPACING_MARK) continue;
      for (int32_t u = 0; u < n; ++u) {
        out.units += piece.charAt(k - n + u);
        out.origin.push_back(at);
        out.starts.push_back(first);
        first = false;
      }
    }
  }
  return out;
}

ComparisonResult sign(int v) {
  return v < 0 ? ComparisonResult::Ascending : v > 0 ? ComparisonResult::Descending : ComparisonResult::Same;
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Compares folded texts unit by unit; with `numeric`, runs of digits
// compare by their value (leading zeros aside).
ComparisonResult compareUnits(std::u16string_view a, std::u16string_view b, bool numeric) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (numeric && isDigit(a[i]) && isDigit(b[j])) {
      size_t ie = i, je = j;
      while (ie < a.size() && isDigit(a[ie])) ++ie;
      while (je < b.size() && isDigit(b[je])) ++je;
      size_t is = i, js = j;
      while (is + 1 < ie && a[is] == u'0') ++is;
      while (js + 1 < je && b[js] == u'0') ++js;
      if (ie - is != je - js) return sign(ie - is < je - js ? -1 : 1);
      int c = a.substr(is, ie - is).compare(b.substr(js, je - js));
      if (c != 0) return sign(c);
      i = ie;
      j = je;
      continue;
    }
    if (a[i] != b[j]) return sign(a[i] < b[j] ? -1 : 1);
    ++i;
    ++j;
  }
  if (i < a.size()) return ComparisonResult::Descending;
  if (j < b.size()) return ComparisonResult::Ascending;
  return ComparisonResult::Same;
}

// Collators are costly to open and not meant for concurrent use, so each
// thread keeps its own per locale and options.
icu::Collator* collatorFor(const std::string& locale, unsigned options) {
  thread_local std::map<std::pair<std::string, unsigned>, std::unique_ptr<icu::Collator>> cache;
  unsigned relevant = options & (kCaseInsensitive | kDiacriticInsensitive | kNumeric);
  auto key = std::make_pair(locale, relevant);
  auto found = cache.find(key);
  if (found != cache.end()) return found->second.get();

  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale(locale.c_str()), status));
  if (U_FAILURE(status) || !collator) return nullptr;
  bool caseless = relevant & kCaseInsensitive, accentless = relevant & kDiacriticInsensitive;
  if (caseless && accentless) {
    collator->setStrength(icu::Collator::PRIMARY);
  } else if (caseless) {
    collator->setStrength(icu::Collator::SECONDARY);
  } else if (accentless) {
    // Accents ignored but case kept: primary strength plus the case level.
    collator->setStrength(icu::Collator::PRIMARY);
    collator->setAttribute(UCOL_CASE_LEVEL, UCOL_ON, status);
  } else {
    collator->setStrength(icu::Collator::TERTIARY);
  }
  if (relevant & kNumeric) collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
  return cache.emplace(key, std::move(collator)).first->second.get();
}

// Whether units [k, k + length) of folded `hay` map back onto whole
// characters of the original.
bool onCharacterBoundaries(const Folded& hay, size_t k, size_t length, unsigned options) {
  if (!hay.starts[k]) return false;
  size_t end = k + length;
  if (end < hay.units.size()) {
    if (!hay.starts[end]) return false;
    // Do not end a match before a combining mark of the same character.
    if (!(options & kLiteral) && u_getCombiningClass(hay.units[end]) != 0) return false;
  }
  return true;
}

// The match of `target` in folded `hay` at folded index k, if it is one
// that maps back onto whole characters of the original.
bool matchesAt(const Folded& hay, std::u16string_view target, size_t k, unsigned options) {
  return hay.units.compare(k, target.size(), target) == 0 && onCharacterBoundaries(hay, k, target.size(), options);
}

}  // namespace

ComparisonResult compare(std::string_view a, std::string_view b, unsigned options) {
  unsigned foldOptions = options & (kCaseInsensitive | kDiacriticInsensitive | kLiteral);
  Folded fa = fold(toUtf16(a), foldOptions);
  Folded fb = fold(toUtf16(b), foldOptions);
  return compareUnits(fa.units, fb.units, options & kNumeric);
}

std::string currentLocaleIdentifier() {
  return Device::isBooted() ? Device::current().facts().localeIdentifier : std::string("en_US");
}

ComparisonResult compare(std::string_view a, std::string_view b, unsigned options,
                         std::string_view localeIdentifier) {
  std::string locale = localeIdentifier.empty() ? currentLocaleIdentifier() : std::string(localeIdentifier);
  icu::Collator* collator = collatorFor(locale, options);
  if (!collator) return compare(a, b, options);
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                             icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
  if (U_FAILURE(status)) return compare(a, b, options);
  return sign(r);
}

ComparisonResult localizedCompare(std::string_view a, std::string_view b) { return compare(a, b, 0, ""); }

ComparisonResult localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
  return compare(a, b, kCaseInsensitive, "");
}

ComparisonResult localizedStandardCompare(std::string_view a, std::string_view b) {
  ComparisonResult r = compare(a, b, kCaseInsensitive | kNumeric, "");
  return r != ComparisonResult::Same ? r : compare(a, b, kNumeric, "");
}

Range rangeOfString(std::u16string_view text, std::u16string_view target, unsigned options,
                    std::optional<Range> searchRange) {
  Range notFound{kNotFound, 0};
  Range range = searchRange.value_or(Range{0, text.size()});
  if (range.location > text.size()) return notFound;
  if (range.length > text.size() - range.location) range.length = text.size() - range.location;
  if (target.empty()) return notFound;

  unsigned foldOptions = options & (kCaseInsensitive | kDiacriticInsensitive | kLiteral);
  Folded hay = fold(text.substr(range.location, range.length), foldOptions);
  std::u16string needle = fold(target, foldOptions).units;
  if (needle.empty() || needle.size() > hay.units.size()) return notFound;

  auto toRange = [&](size_t k) {
    size_t start = hay.origin[k];
    size_t end = k + needle.size() < hay.units.size() ? hay.origin[k + needle.size()] : range.length;
    return Range{range.location + start, end - start};
  };
  size_t last = hay.units.size() - needle.size();
  if (options & kAnchored) {
    size_t k = (options & kBackwards) ? last : 0;
    return matchesAt(hay, needle, k, options) ? toRange(k) : notFound;
  }
  // Candidates come from a linear-time search; each is then checked for
  // whole characters, so a text of a million units that almost matches a
  // long target everywhere costs two passes, not their product.
  std::optional<size_t> found;
  bool backwards = options & kBackwards;
  SubstringSearcher<char16_t> searcher(needle);
  searcher.forEach(std::u16string_view(hay.units), 0, [&](size_t k) {
    if (!onCharacterBoundaries(hay, k, needle.size(), options)) return true;
    found = k;
    return backwards;  // backwards keeps the last one
  });
  if (found) return toRange(*found);
  return notFound;
}

Range rangeOfString(std::string_view text, std::string_view target, unsigned options,
                    std::optional<Range> searchRange) {
  return rangeOfString(std::u16string_view(toUtf16(text)), std::u16string_view(toUtf16(target)), options,
                       searchRange);
}

bool containsString(std::string_view text, std::string_view target, unsigned options) {
  return rangeOfString(text, target, options).location != kNotFound;
}

bool localizedCaseInsensitiveContainsString(std::string_view text, std::string_view target) {
  return containsString(text, target, kCaseInsensitive);
}

bool localizedStandardContainsString(std::string_view text, std::string_view target) {
  return containsString(text, target, kCaseInsensitive | kDiacriticInsensitive);
}

std::string replacingOccurrences(std::string_view text, std::string_view target, std::string_view replacement,
                                 unsigned options) {
  std::u16string hay = toUtf16(text);
  std::u16string needle = toUtf16(target);
  std::u16string with = toUtf16(replacement);
  std::u16string out;
  size_t from = 0;
  unsigned forward = options & ~(kBackwards | kAnchored);
  while (from <= hay.size()) {
    Range r = rangeOfString(hay, needle, forward, Range{from, hay.size() - from});
    if (r.location == kNotFound || r.length == 0) break;
    out.append(hay, from, r.location - from);
    out += with;
    from = r.end();
  }
  if (from < hay.size()) out.append(hay, from);
  return toUtf8(out);
}

}  // namespace ns
