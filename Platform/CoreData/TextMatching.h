// The string comparisons predicates and sort descriptors need: folding for
// case- and diacritic-insensitive matching, and the localized
// case-insensitive order of the device's locale.
#pragma once

#include <string>
#include <string_view>

namespace cd {

// `text` normalised for matching: case-folded when ignoring case; decomposed
// with combining marks dropped when ignoring diacritics, else composed. UTF-8.
std::string foldForMatching(std::string_view text, bool caseInsensitive, bool diacriticInsensitive);

// Whether `text`, folded as above, contains `foldedNeedle` (already folded
// with the same options; an empty one is in no text). ASCII text is
// searched in place, without making its folded copy.
bool containsForMatching(std::string_view text, std::string_view foldedNeedle, bool caseInsensitive,
                         bool diacriticInsensitive);

// The SQL function every store connection has for CONTAINS:
// quillbox_contains(text, foldedNeedle, options) is containsForMatching
// (options: 1 ignores case, 2 diacritics, as Predicate's); 0 for a text that
// is not one.
inline constexpr const char* kContainsFunction = "quillbox_contains";

// <0, 0, >0: the order of the device locale's collation, ignoring case.
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);

// The SQL collation every store connection has for that order, so that a
// fetch sorted by a title can be sorted by the store.
inline constexpr const char* kLocalizedCollation = "quillbox_localized";

}  // namespace cd
