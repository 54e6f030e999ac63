// Finds links and phone numbers in plain text, as the text views' data
// detectors do: web addresses with a scheme ("https://..."), starting with
// "www." or made of a host name with a known top-level domain
// ("example.com/path"), mail addresses, and phone numbers of at least
// seven digits, optionally with a leading "+", spaces, dots, dashes and
// parentheses between them. Ranges are UTF-16, as everywhere in the text
// system.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Range.h"

namespace ns {

enum TextCheckingType : uint64_t {
  kTextCheckingTypeLink = 1ull << 5,
  kTextCheckingTypePhoneNumber = 1ull << 11,
};

struct TextCheckingResult {
  TextCheckingType type;
  Range range;
};

class DataDetector {
 public:
  // `types`: the kTextCheckingType bits to look for.
  explicit DataDetector(uint64_t types) : types_(types) {}

  // The matches in text order; a phone number inside a link is part of the link.
  std::vector<TextCheckingResult> matches(std::u16string_view text) const;
  std::vector<TextCheckingResult> matches(std::string_view utf8) const;
  size_t numberOfMatches(std::string_view utf8) const { return matches(utf8).size(); }

 private:
  uint64_t types_;
};

}  // namespace ns
