// Regular expressions with ICU's syntax, matched over UTF-16 text so that
// every match is a platform range. A compiled expression is immutable and
// may be shared between threads.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Range.h"

namespace ns {

class RegularExpression {
 public:
  enum Options : unsigned {
    kCaseInsensitive = 1u << 0,
    kAllowCommentsAndWhitespace = 1u << 1,
    kIgnoreMetacharacters = 1u << 2,  // the pattern is literal text
    kDotMatchesLineSeparators = 1u << 3,
    kAnchorsMatchLines = 1u << 4,
    kUseUnixLineSeparators = 1u << 5,
    kUseUnicodeWordBoundaries = 1u << 6,
  };

  // One match: the whole match's range first, then each capture group's
  // ({kNotFound, 0} for a group that took no part).
  struct Match {
    std::vector<Range> ranges;
    Range range() const { return ranges.empty() ? Range{kNotFound, 0} : ranges[0]; }
  };

  // Compiles `pattern`; absent with the platform's error (cocoa domain, code
  // 2048, the pattern under "NSInvalidValue") when it is not valid.
  static std::shared_ptr<const RegularExpression> make(std::string_view pattern, unsigned options = 0,
                                                       Error* error = nullptr);
  // The same from UTF-16 text.
  static std::shared_ptr<const RegularExpression> make(std::u16string_view pattern, unsigned options = 0,
                                                       Error* error = nullptr);
  ~RegularExpression();

  const std::string& pattern() const { return pattern_; }
  unsigned options() const { return options_; }
  size_t numberOfCaptureGroups() const;

  // How much one search may do. A pattern such as "(a+)+$" backtracks for
  // an exponential time on a long text; ICU stops it after `timeLimit` of
  // its time units (counted engine steps, so the same on every machine and
  // under any load) or when the backtrack stack passes `stackLimit` bytes.
  struct MatchLimit {
    int32_t timeLimit = 0;   // 0: unlimited
    int32_t stackLimit = 0;  // 0: ICU's default
  };

  // The first match over the whole text under `limit`: absent without a
  // match; absent with `error` set (cocoa domain, code 2048, the pattern
  // under "NSInvalidValue") when the search was stopped by the limit, which
  // is no answer and so never reads as "no match".
  std::optional<Match> firstMatch(std::u16string_view text, const MatchLimit& limit, Error& error) const;

  // Searches `range` of the text (the whole text when absent; clamped).
  std::optional<Match> firstMatch(std::u16string_view text, std::optional<Range> range = std::nullopt) const;
  std::optional<Match> firstMatch(std::string_view utf8, std::optional<Range> range = std::nullopt) const;
  std::vector<Match> matches(std::u16string_view text, std::optional<Range> range = std::nullopt) const;
  std::vector<Match> matches(std::string_view utf8, std::optional<Range> range = std::nullopt) const;
  size_t numberOfMatches(std::string_view utf8, std::optional<Range> range = std::nullopt) const;
  // {kNotFound, 0} without a match.
  Range rangeOfFirstMatch(std::string_view utf8, std::optional<Range> range = std::nullopt) const;

  // Replaces every match with `templ`, where $0-$9 stand for groups and
  // "\" escapes the next character.
  std::string stringByReplacingMatches(std::string_view utf8, std::string_view templ) const;

  // `text` with every metacharacter escaped, to match it literally.
  static std::string escapedPattern(std::string_view text);

 private:
  struct Compiled;
  RegularExpression(std::string pattern, unsigned options, std::unique_ptr<Compiled> compiled);
  std::string pattern_;
  unsigned options_;
  std::unique_ptr<Compiled> compiled_;
};

}  // namespace ns
