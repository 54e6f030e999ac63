// Case mapping of UTF-8 text with the platform's rules (full Unicode
// mappings: "ß" upper-cases to "SS"). Without a locale the mapping is the
// locale-independent one; the localized forms use the device's locale
// (Turkish dotted and dotless i, for example).
#pragma once

#include <string>
#include <string_view>

namespace ns {

std::string lowercaseString(std::string_view text, std::string_view localeIdentifier = {});
std::string uppercaseString(std::string_view text, std::string_view localeIdentifier = {});
// The same over UTF-16, where a lone surrogate is kept as it is.
std::u16string lowercaseString(std::u16string_view text, std::string_view localeIdentifier = {});
std::u16string uppercaseString(std::u16string_view text, std::string_view localeIdentifier = {});
// The first character of each word in title case and the rest lower case;
// words are separated by white space and line breaks only.
std::string capitalizedString(std::string_view text, std::string_view localeIdentifier = {});

std::string localizedLowercaseString(std::string_view text);
std::string localizedUppercaseString(std::string_view text);
std::string localizedCapitalizedString(std::string_view text);

}  // namespace ns
