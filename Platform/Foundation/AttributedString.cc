#include "Platform/Foundation/AttributedString.h"

#include <algorithm>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/StringUtf16.h"

namespace ns {

namespace {

[[noreturn]] void throwRange(const std::string& what) {
  throw Exception(kRangeException, what);
}

}  // namespace

AttributedString::AttributedString(std::string_view utf8, const TextAttributes& attributes)
    : AttributedString(toUtf16(utf8), attributes) {}

AttributedString::AttributedString(std::u16string text, const TextAttributes& attributes)
    : text_(std::move(text)) {
  if (!text_.empty()) runs_.push_back(Run{text_.size(), attributes});
}

AttributedString AttributedString::withRuns(std::u16string text, std::vector<Run> runs) {
  size_t total = 0;
  for (Run& run : runs) {
    total += run.length;
    for (auto it = run.attributes.begin(); it != run.attributes.end();)
      it = it->second.isNil() ? run.attributes.erase(it) : std::next(it);
  }
  if (total != text.size())
    throw Exception(kInvalidArgumentException, "withRuns: run lengths add up to " +
                                                   std::to_string(total) + ", the text has " +
                                                   std::to_string(text.size()));
  AttributedString out;
  out.text_ = std::move(text);
  out.runs_ = std::move(runs);
  out.normalize();
  return out;
}

std::string AttributedString::string() const { return toUtf8(text_); }

void AttributedString::checkIndex(size_t index) const {
  if (index >= text_.size())
    throwRange("Index " + std::to_string(index) + " out of bounds; string length " +
               std::to_string(text_.size()));
}

void AttributedString::checkRange(Range range) const {
  if (range.location > text_.size() || range.length > text_.size() - range.location)
    throwRange("Range {" + std::to_string(range.location) + ", " + std::to_string(range.length) +
               "} out of bounds; string length " + std::to_string(text_.size()));
}

TextAttributes AttributedString::attributesAtIndex(size_t index, Range* effectiveRange) const {
  checkIndex(index);
  size_t start = 0;
  for (const Run& run : runs_) {
    if (index < start + run.length) {
      if (effectiveRange) *effectiveRange = Range{start, run.length};
      return run.attributes;
    }
    start += run.length;
  }
  return {};
}

AttributeValue AttributedString::attributeAtIndex(std::string_view name, size_t index,
                                                  Range* effectiveRange) const {
  return attributeAtIndex(name, index, effectiveRange, Range{0, text_.size()});
}

AttributeValue AttributedString::attributeAtIndex(std::string_view name, size_t index,
                                                  Range* effectiveRange, Range rangeLimit) const {
  checkIndex(index);
  checkRange(rangeLimit);
  AttributeValue value;
  size_t start = 0;
  for (const Run& run : runs_) {
    if (index < start + run.length) {
      if (auto it = run.attributes.find(name); it != run.attributes.end()) value = it->second;
      break;
    }
    start += run.length;
  }
  if (effectiveRange) *effectiveRange = attributeRange(name, index, value, rangeLimit);
  return value;
}

Range AttributedString::attributeRange(std::string_view name, size_t index,
                                       const AttributeValue& value, Range limit) const {
  auto valueOf = [&](const Run& run) {
    auto it = run.attributes.find(name);
    return it == run.attributes.end() ? AttributeValue() : it->second;
  };
  // Find the run holding index, then widen over neighbours with an equal value.
  size_t runIndex = 0, runStart = 0;
  while (runIndex < runs_.size() && index >= runStart + runs_[runIndex].length) {
    runStart += runs_[runIndex].length;
    ++runIndex;
  }
  size_t first = runIndex, firstStart = runStart;
  while (first > 0 && firstStart > limit.location && valueOf(runs_[first - 1]) == value) {
    --first;
    firstStart -= runs_[first].length;
  }
  size_t last = runIndex, lastEnd = runStart + runs_[runIndex].length;
  while (last + 1 < runs_.size() && lastEnd < limit.end() && valueOf(runs_[last + 1]) == value) {
    ++last;
    lastEnd += runs_[last].length;
  }
  size_t from = std::max(firstStart, limit.location);
  size_t to = std::min(lastEnd, limit.end());
  return Range{from, to > from ? to - from : 0};
}

void AttributedString::enumerateAttribute(std::string_view name, Range range, uint32_t options,
                                          const AttributeBlock& block) const {
  checkRange(range);
  bool stop = false;
  if (options & kEnumerationReverse) {
    size_t end = range.end();
    while (!stop && end > range.location && end <= text_.size()) {
      Range run;
      AttributeValue value = attributeAtIndex(name, end - 1, &run, Range{range.location, end - range.location});
      block(value, run, &stop);
      end = run.location;
    }
    return;
  }
  // Each run is looked up afresh after the block ran, so the block may change
  // attributes inside the run it was handed.
  size_t at = range.location;
  while (!stop && at < range.end() && at < text_.size()) {
    Range run;
    AttributeValue value = attributeAtIndex(name, at, &run, Range{at, range.end() - at});
    block(value, run, &stop);
    at = run.end();
  }
}

void AttributedString::enumerateAttributes(Range range, uint32_t options,
                                           const AttributesBlock& block) const {
  checkRange(range);
  std::vector<std::pair<TextAttributes, Range>> pieces;
  size_t start = 0;
  for (const Run& run : runs_) {
    Range piece = intersection(Range{start, run.length}, range);
    if (piece.length > 0) pieces.emplace_back(run.attributes, piece);
    start += run.length;
  }
  if (options & kEnumerationReverse) std::reverse(pieces.begin(), pieces.end());
  bool stop = false;
  for (const auto& [attributes, piece] : pieces) {
    block(attributes, piece, &stop);
    if (stop) break;
  }
}

AttributedString AttributedString::attributedSubstring(Range range) const {
  checkRange(range);
  AttributedString out;
  out.text_ = text_.substr(range.location, range.length);
  size_t start = 0;
  for (const Run& run : runs_) {
    Range piece = intersection(Range{start, run.length}, range);
    if (piece.length > 0) out.runs_.push_back(Run{piece.length, run.attributes});
    start += run.length;
  }
  return out;
}

size_t AttributedString::split(size_t index) {
  size_t start = 0;
  for (size_t i = 0; i < runs_.size(); ++i) {
    if (index == start) return i;
    if (index < start + runs_[i].length) {
      Run tail{start + runs_[i].length - index, runs_[i].attributes};
      runs_[i].length = index - start;
      runs_.insert(runs_.begin() + static_cast<ptrdiff_t>(i) + 1, std::move(tail));
      return i + 1;
    }
    start += runs_[i].length;
  }
  return runs_.size();
}

void AttributedString::normalize(size_t from, size_t to) {
  // Only the changed stretch and its neighbours: edits stay cheap in long texts.
  from = from > 0 ? from - 1 : 0;
  to = to < runs_.size() ? to + 1 : runs_.size();
  if (from >= to) return;
  std::vector<Run> merged;
  merged.reserve(to - from);
  for (size_t i = from; i < to; ++i) {
    Run& run = runs_[i];
    if (run.length == 0) continue;
    if (!merged.empty() && merged.back().attributes == run.attributes)
      merged.back().length += run.length;
    else
      merged.push_back(std::move(run));
  }
  auto begin = runs_.begin() + static_cast<ptrdiff_t>(from);
  size_t kept = merged.size();
  std::move(merged.begin(), merged.end(), begin);
  runs_.erase(begin + static_cast<ptrdiff_t>(kept), runs_.begin() + static_cast<ptrdiff_t>(to));
}

void AttributedString::modify(Range range, const std::function<void(TextAttributes&)>& change) {
  checkRange(range);
  if (range.length == 0) return;
  size_t first = split(range.location);
  size_t last = split(range.end());
  for (size_t i = first; i < last; ++i) change(runs_[i].attributes);
  normalize(first, last);
}

void AttributedString::replaceCharacters(Range range, std::string_view utf8) {
  replaceCharacters(range, std::u16string_view(toUtf16(utf8)));
}

void AttributedString::replaceCharacters(Range range, std::u16string_view text) {
  checkRange(range);
  TextAttributes inherited;
  if (!text.empty() && !text_.empty()) {
    size_t from = range.length > 0 ? range.location
                  : range.location > 0 ? range.location - 1
                  : range.location < text_.size() ? range.location
                                                  : text_.size() - 1;
    inherited = attributesAtIndex(from);
  }
  AttributedString piece{std::u16string(text), inherited};
  replaceCharacters(range, piece);
}

void AttributedString::replaceCharacters(Range range, const AttributedString& text) {
  checkRange(range);
  // Copy first: `text` may be *this.
  std::vector<Run> inserted = text.runs_;
  std::u16string characters = text.text_;
  size_t first = split(range.location);
  size_t last = split(range.end());
  runs_.erase(runs_.begin() + static_cast<ptrdiff_t>(first),
              runs_.begin() + static_cast<ptrdiff_t>(last));
  runs_.insert(runs_.begin() + static_cast<ptrdiff_t>(first), inserted.begin(), inserted.end());
  text_.replace(range.location, range.length, characters);
  normalize(first, first + inserted.size());
}

void AttributedString::setAttributes(const TextAttributes& attributes, Range range) {
  TextAttributes clean;
  for (const auto& [name, value] : attributes)
    if (!value.isNil()) clean.emplace(name, value);
  modify(range, [&](TextAttributes& current) { current = clean; });
}

void AttributedString::addAttribute(const std::string& name, const AttributeValue& value,
                                    Range range) {
  if (value.isNil())
    throw Exception(kInvalidArgumentException, "addAttribute: nil value for " + name);
  modify(range, [&](TextAttributes& current) { current[name] = value; });
}

void AttributedString::addAttributes(const TextAttributes& attributes, Range range) {
  modify(range, [&](TextAttributes& current) {
    for (const auto& [name, value] : attributes)
      if (!value.isNil()) current[name] = value;
  });
}

void AttributedString::removeAttribute(std::string_view name, Range range) {
  modify(range, [&](TextAttributes& current) {
    if (auto it = current.find(name); it != current.end()) current.erase(it);
  });
}

void AttributedString::endEditing() {
  if (editing_ == 0)
    throw Exception(kInternalInconsistencyException, "endEditing without beginEditing");
  --editing_;
}

bool AttributedString::operator==(const AttributedString& other) const {
  if (text_ != other.text_ || runs_.size() != other.runs_.size()) return false;
  for (size_t i = 0; i < runs_.size(); ++i) {
    if (runs_[i].length != other.runs_[i].length ||
        runs_[i].attributes != other.runs_[i].attributes)
      return false;
  }
  return true;
}

std::string AttributedString::description() const {
  std::string out;
  size_t start = 0;
  for (const Run& run : runs_) {
    out += toUtf8(std::u16string_view(text_).substr(start, run.length));
    out += "{";
    for (const auto& [name, value] : run.attributes)
      out += "\n    " + name + " = " + value.description() + ";";
    out += run.attributes.empty() ? "}" : "\n}";
    start += run.length;
  }
  return out;
}

}  // namespace ns
