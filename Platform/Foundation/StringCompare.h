// Comparing and searching text under the platform's options: case- and
// diacritic-insensitive, numeric, backwards, anchored; and locale-aware
// collation (the device's locale unless one is given).
//
// Without kLiteral, canonically equivalent texts match ("é" precomposed or
// as e + combining acute), and a match never ends inside a character that
// continues with combining marks. Searches answer UTF-16 ranges of the text
// searched, {kNotFound, 0} when there is no match (also for an empty target).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Range.h"

namespace ns {

enum CompareOptions : unsigned {
  kCaseInsensitive = 1u << 0,
  kLiteral = 1u << 1,
  kBackwards = 1u << 2,            // searches: the last match
  kAnchored = 1u << 3,             // searches: only at the start (the end when backwards)
  kNumeric = 1u << 6,              // runs of digits compare by value: "a2" < "a10"
  kDiacriticInsensitive = 1u << 7,
};

enum class ComparisonResult : int { Ascending = -1, Same = 0, Descending = 1 };

// Ordering by UTF-16 code units of the (folded) texts.
ComparisonResult compare(std::string_view a, std::string_view b, unsigned options = 0);
inline ComparisonResult caseInsensitiveCompare(std::string_view a, std::string_view b) {
  return compare(a, b, kCaseInsensitive);
}

// Collation of a locale ("en_US", "sv_SE"...; empty for the device's);
// kCaseInsensitive, kDiacriticInsensitive and kNumeric apply.
ComparisonResult compare(std::string_view a, std::string_view b, unsigned options,
                         std::string_view localeIdentifier);
ComparisonResult localizedCompare(std::string_view a, std::string_view b);
ComparisonResult localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);
// The order a file browser shows: case-insensitive and numeric, ties broken
// by case so that the order is total.
ComparisonResult localizedStandardCompare(std::string_view a, std::string_view b);

// The device's locale identifier ("en_US" until a device is booted).
std::string currentLocaleIdentifier();

// The first (or last, with kBackwards) match of `target` inside
// `searchRange` (the whole text when absent; clamped to the text).
Range rangeOfString(std::u16string_view text, std::u16string_view target, unsigned options = 0,
                    std::optional<Range> searchRange = std::nullopt);
Range rangeOfString(std::string_view text, std::string_view target, unsigned options = 0,
                    std::optional<Range> searchRange = std::nullopt);

bool containsString(std::string_view text, std::string_view target, unsigned options = 0);
bool localizedCaseInsensitiveContainsString(std::string_view text, std::string_view target);
// Case- and diacritic-insensitive, as a search field matches.
bool localizedStandardContainsString(std::string_view text, std::string_view target);

// Replaces every match under `options` (left to right, without overlap).
std::string replacingOccurrences(std::string_view text, std::string_view target, std::string_view replacement,
                                 unsigned options);

}  // namespace ns
