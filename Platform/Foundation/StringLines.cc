#include "Platform/Foundation/StringLines.h"

#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

LineBounds boundsFor(std::u16string_view text, Range range, bool (*terminator)(char16_t)) {
  size_t size = text.size();
  size_t location = range.location < size ? range.location : size;
  size_t length = range.length < size - location ? range.length : size - location;
  size_t last = length > 0 ? location + length - 1 : location;  // last index the range touches

  // Start: after the terminator before `location`. An index on the "\n" of
  // a "\r\n" belongs to the line that pair ends.
  size_t start = location;
  if (start < size && start > 0 && text[start] == u'\n' && text[start - 1] == u'\r') --start;
  while (start > 0 && !terminator(text[start - 1])) --start;

  // End: after the first terminator at or beyond the last touched index.
  size_t p = last < start ? start : last;
  while (p < size && !terminator(text[p])) ++p;
  LineBounds bounds;
  bounds.start = start;
  bounds.contentsEnd = p;
  if (p < size) {
    bounds.end = p + 1;
    if (text[p] == u'\r' && p + 1 < size && text[p + 1] == u'\n') {
      bounds.end = p + 2;
    } else if (text[p] == u'\n' && p > start && text[p - 1] == u'\r') {
      bounds.contentsEnd = p - 1;  // the range ended on the "\n" of a pair
    }
  } else {
    bounds.end = size;
  }
  return bounds;
}

Range toRange(const LineBounds& b) { return Range{b.start, b.end - b.start}; }

}  // namespace

bool isLineTerminator(char16_t c) {
  return c == u'\n' || c == u'\r' || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

bool isParagraphTerminator(char16_t c) { return c != 0x2028 && isLineTerminator(c); }

LineBounds lineBoundsForRange(std::u16string_view text, Range range) {
  return boundsFor(text, range, isLineTerminator);
}

LineBounds paragraphBoundsForRange(std::u16string_view text, Range range) {
  return boundsFor(text, range, isParagraphTerminator);
}

Range lineRangeForRange(std::u16string_view text, Range range) {
  return toRange(lineBoundsForRange(text, range));
}

Range lineRangeForRange(std::string_view utf8, Range range) {
  return lineRangeForRange(std::u16string_view(toUtf16(utf8)), range);
}

Range paragraphRangeForRange(std::u16string_view text, Range range) {
  return toRange(paragraphBoundsForRange(text, range));
}

Range paragraphRangeForRange(std::string_view utf8, Range range) {
  return paragraphRangeForRange(std::u16string_view(toUtf16(utf8)), range);
}

}  // namespace ns
