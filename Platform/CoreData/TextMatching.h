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

// <0, 0, >0: the order of the device locale's collation, ignoring case.
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);

}  // namespace cd
