// Finding a pattern in a text in time linear in both (Knuth-Morris-Pratt):
// comparing at every position costs the product of the two lengths, which
// a pattern that almost matches everywhere turns into minutes. Exact
// matching of code units (bytes or UTF-16 units); callers that match under
// options fold both texts first.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace ns {

template <class Char>
class SubstringSearcher {
 public:
  static constexpr size_t npos = std::basic_string_view<Char>::npos;

  // The pattern must outlive the searcher.
  explicit SubstringSearcher(std::basic_string_view<Char> pattern) : pattern_(pattern), border_(pattern.size(), 0) {
    for (size_t i = 1, k = 0; i < pattern_.size(); ++i) {
      while (k > 0 && pattern_[i] != pattern_[k]) k = border_[k - 1];
      if (pattern_[i] == pattern_[k]) ++k;
      border_[i] = k;
    }
  }

  // Calls `found(position)` for each occurrence in `text` at or after
  // `from`, overlapping ones included, left to right, until it answers NO.
  template <class Found>
  void forEach(std::basic_string_view<Char> text, size_t from, Found found) const {
    size_t m = pattern_.size();
    if (m == 0) return;
    for (size_t i = from, k = 0; i < text.size(); ++i) {
      while (k > 0 && text[i] != pattern_[k]) k = border_[k - 1];
      if (text[i] == pattern_[k]) ++k;
      if (k == m) {
        if (!found(i + 1 - m)) return;
        k = border_[k - 1];
      }
    }
  }

  // The first occurrence at or after `from`, or npos; an empty pattern is
  // never found.
  size_t find(std::basic_string_view<Char> text, size_t from = 0) const {
    size_t at = npos;
    forEach(text, from, [&](size_t position) {
      at = position;
      return false;
    });
    return at;
  }

 private:
  std::basic_string_view<Char> pattern_;
  // border_[i]: the longest proper prefix of pattern_[0..i] that is also
  // its suffix.
  std::vector<size_t> border_;
};

}  // namespace ns
