#include "Platform/Foundation/RegularExpression.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

// The platform reports an invalid pattern as a formatting error.
constexpr int64_t kFormattingError = 2048;

uint32_t icuFlags(unsigned options) {
  uint32_t flags = 0;
  if (options & RegularExpression::kCaseInsensitive) flags |= UREGEX_CASE_INSENSITIVE;
  if (options & RegularExpression::kAllowCommentsAndWhitespace) flags |= UREGEX_COMMENTS;
  if (options & RegularExpression::kIgnoreMetacharacters) flags |= UREGEX_LITERAL;
  if (options & RegularExpression::kDotMatchesLineSeparators) flags |= UREGEX_DOTALL;
  if (options & RegularExpression::kAnchorsMatchLines) flags |= UREGEX_MULTILINE;
  if (options & RegularExpression::kUseUnixLineSeparators) flags |= UREGEX_UNIX_LINES;
  if (options & RegularExpression::kUseUnicodeWordBoundaries) flags |= UREGEX_UWORD;
  return flags;
}

icu::UnicodeString alias(std::u16string_view text) {
  return icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size()));
}

// The ranges of the matcher's current match and its groups.
RegularExpression::Match currentMatch(icu::RegexMatcher& m) {
  RegularExpression::Match match;
  UErrorCode status = U_ZERO_ERROR;
  for (int32_t g = 0; g <= m.groupCount(); ++g) {
    int32_t start = m.start(g, status);
    int32_t end = m.end(g, status);
    match.ranges.push_back(start < 0 || U_FAILURE(status)
                               ? Range{kNotFound, 0}
                               : Range{static_cast<size_t>(start), static_cast<size_t>(end - start)});
  }
  return match;
}

Range clamp(std::optional<Range> range, size_t size) {
  Range r = range.value_or(Range{0, size});
  if (r.location > size) r.location = size;
  if (r.length > size - r.location) r.length = size - r.location;
  return r;
}

}  // namespace

struct RegularExpression::Compiled {
  std::unique_ptr<icu::RegexPattern> pattern;
};

RegularExpression::RegularExpression(std::string pattern, unsigned options, std::unique_ptr<Compiled> compiled)
    : pattern_(std::move(pattern)), options_(options), compiled_(std::move(compiled)) {}

RegularExpression::~RegularExpression() = default;

std::shared_ptr<const RegularExpression> RegularExpression::make(std::string_view pattern, unsigned options,
                                                                 Error* error) {
  return make(std::u16string_view(toUtf16(pattern)), options, error);
}

std::shared_ptr<const RegularExpression> RegularExpression::make(std::u16string_view source, unsigned options,
                                                                 Error* error) {
  std::string pattern = toUtf8(source);
  UParseError parseError;
  UErrorCode status = U_ZERO_ERROR;
  auto compiled = std::make_unique<Compiled>();
  compiled->pattern.reset(icu::RegexPattern::compile(icu::UnicodeString(source.data(), static_cast<int32_t>(source.size())),
                                                     icuFlags(options), parseError, status));
  if (U_FAILURE(status) || !compiled->pattern) {
    Dictionary info;
    info.set(kLocalizedDescriptionKey, "The value \u201C" + std::string(pattern) + "\u201D is invalid.");
    info.set("NSInvalidValue", std::string(pattern));
    setError(error, Error(kCocoaErrorDomain, kFormattingError, std::move(info)));
    return nullptr;
  }
  return std::shared_ptr<const RegularExpression>(
      new RegularExpression(std::string(pattern), options, std::move(compiled)));
}

size_t RegularExpression::numberOfCaptureGroups() const {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> m(compiled_->pattern->matcher(status));
  return U_SUCCESS(status) && m ? static_cast<size_t>(m->groupCount()) : 0;
}

std::vector<RegularExpression::Match> RegularExpression::matches(std::u16string_view text,
                                                                 std::optional<Range> range) const {
  std::vector<Match> found;
  Range r = clamp(range, text.size());
  icu::UnicodeString input = alias(text);
  UErrorCode status = U_ZERO_ERROR;
  // A matcher holds match state, so each search makes its own.
  std::unique_ptr<icu::RegexMatcher> m(compiled_->pattern->matcher(input, status));
  if (U_FAILURE(status) || !m) return found;
  m->region(static_cast<int64_t>(r.location), static_cast<int64_t>(r.end()), status);
  while (U_SUCCESS(status) && m->find(status) && U_SUCCESS(status)) found.push_back(currentMatch(*m));
  return found;
}

std::vector<RegularExpression::Match> RegularExpression::matches(std::string_view utf8,
                                                                 std::optional<Range> range) const {
  return matches(std::u16string_view(toUtf16(utf8)), range);
}

std::optional<RegularExpression::Match> RegularExpression::firstMatch(std::u16string_view text,
                                                                      std::optional<Range> range) const {
  Range r = clamp(range, text.size());
  icu::UnicodeString input = alias(text);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> m(compiled_->pattern->matcher(input, status));
  if (U_FAILURE(status) || !m) return std::nullopt;
  m->region(static_cast<int64_t>(r.location), static_cast<int64_t>(r.end()), status);
  if (U_FAILURE(status) || !m->find(status) || U_FAILURE(status)) return std::nullopt;
  return currentMatch(*m);
}

std::optional<RegularExpression::Match> RegularExpression::firstMatch(std::u16string_view text,
                                                                      const MatchLimit& limit, Error& error) const {
  icu::UnicodeString input = alias(text);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> m(compiled_->pattern->matcher(input, status));
  if (U_FAILURE(status) || !m) return std::nullopt;
  m->setTimeLimit(limit.timeLimit, status);
  if (limit.stackLimit > 0) m->setStackLimit(limit.stackLimit, status);
  if (U_FAILURE(status)) return std::nullopt;
  bool found = m->find(status);
  if (status == U_REGEX_TIME_OUT || status == U_REGEX_STACK_OVERFLOW || status == U_BUFFER_OVERFLOW_ERROR) {
    Dictionary info;
    info.set(kLocalizedDescriptionKey, "The search with the pattern \u201C" + pattern_ + "\u201D was stopped at its limit.");
    info.set("NSInvalidValue", pattern_);
    error = Error(kCocoaErrorDomain, kFormattingError, std::move(info));
    return std::nullopt;
  }
  if (U_FAILURE(status) || !found) return std::nullopt;
  return currentMatch(*m);
}

std::optional<RegularExpression::Match> RegularExpression::firstMatch(std::string_view utf8,
                                                                      std::optional<Range> range) const {
  return firstMatch(std::u16string_view(toUtf16(utf8)), range);
}

size_t RegularExpression::numberOfMatches(std::string_view utf8, std::optional<Range> range) const {
  return matches(utf8, range).size();
}

Range RegularExpression::rangeOfFirstMatch(std::string_view utf8, std::optional<Range> range) const {
  auto match = firstMatch(utf8, range);
  return match ? match->range() : Range{kNotFound, 0};
}

std::string RegularExpression::stringByReplacingMatches(std::string_view utf8, std::string_view templ) const {
  std::u16string text = toUtf16(utf8);
  std::u16string replacement = toUtf16(templ);
  icu::UnicodeString input = alias(text);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> m(compiled_->pattern->matcher(input, status));
  if (U_FAILURE(status) || !m) return std::string(utf8);
  icu::UnicodeString result =
      m->replaceAll(icu::UnicodeString(replacement.data(), static_cast<int32_t>(replacement.size())), status);
  if (U_FAILURE(status)) return std::string(utf8);  // a bad template changes nothing
  return toUtf8(std::u16string_view(result.getBuffer(), static_cast<size_t>(result.length())));
}

std::string RegularExpression::escapedPattern(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (std::string_view("\\*?+[](){}^$|./").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

}  // namespace ns
