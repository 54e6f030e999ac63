// Lines and paragraphs of text, as the platform finds them. Lines end with
// "\n", "\r\n", "\r", U+2028, U+2029 or U+0085; paragraphs with the same
// except U+2028 (a line separator within a paragraph). All indices and ranges
// are in UTF-16 code units.
#pragma once

#include <string_view>

#include "Platform/Foundation/Range.h"

namespace ns {

// Where the lines that a range touches start and end: `end` is after the
// terminator, `contentsEnd` before it.
struct LineBounds {
  size_t start = 0;
  size_t end = 0;
  size_t contentsEnd = 0;
};

// The lines (or paragraphs) containing `range`; the range is clamped to the
// text. A "\r\n" pair is one terminator and is never split.
LineBounds lineBoundsForRange(std::u16string_view text, Range range);
LineBounds paragraphBoundsForRange(std::u16string_view text, Range range);

// Whole lines including their terminators: the range from the first line's
// start to the last line's end. lineRangeForRange(text, {0, 0}) is the
// first line with its terminator.
Range lineRangeForRange(std::u16string_view text, Range range);
Range lineRangeForRange(std::string_view utf8, Range range);
Range paragraphRangeForRange(std::u16string_view text, Range range);
Range paragraphRangeForRange(std::string_view utf8, Range range);

bool isLineTerminator(char16_t c);       // \n \r U+0085 U+2028 U+2029
bool isParagraphTerminator(char16_t c);  // the same without U+2028

}  // namespace ns
