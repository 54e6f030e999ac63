// Styled text laid out in lines by pango: measuring (the size a text needs
// within a width) and drawing into an image context. The caller turns rich
// text into runs (ui:: does, from fonts and colours); sizes are in points.
// Hinting is off, so measurements do not depend on the screen.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Rgba.h"

namespace cg {

struct TextStyle {
  std::string family = "DejaVu Sans";  // an installed family
  double size = 17;
  bool bold = false;
  bool italic = false;
  Rgba color = Rgba::black();
  bool underline = false;
  bool strikethrough = false;
};

struct TextRun {
  std::string text;  // UTF-8
  TextStyle style;
  // An inline box (an attachment's image): the run stands for one object of
  // this size sitting on the baseline; its text is one U+FFFC.
  Size inlineBox{};
  bool isInlineBox() const { return inlineBox.width > 0 || inlineBox.height > 0; }
};

enum class TextAlign { Left, Center, Right, Justified };

// How a line that does not fit ends, numbered as the platform does.
enum class LineBreak {
  WordWrap = 0,
  CharWrap = 1,
  Clip = 2,
  TruncateHead = 3,
  TruncateTail = 4,
  TruncateMiddle = 5,
};

struct ParagraphLayout {
  TextAlign alignment = TextAlign::Left;
  LineBreak lineBreak = LineBreak::WordWrap;
  double lineSpacing = 0;
  double firstLineIndent = 0;  // from the other lines' start
  int maximumLines = 0;  // 0: no limit
};

class TextLayout {
 public:
  // `width` 0 or less: lines are only broken at newlines.
  TextLayout(std::vector<TextRun> runs, double width, ParagraphLayout paragraph = {});
  ~TextLayout();
  TextLayout(const TextLayout&) = delete;
  TextLayout& operator=(const TextLayout&) = delete;

  // The bounding size of the laid-out lines (logical extents, not rounded).
  Size size() const;
  int lineCount() const;
  // The plain text of each laid-out line.
  std::vector<std::string> lines() const;
  // Where each laid-out line lies: its bytes of the runs' text and its band
  // from the layout's top, in order.
  struct LineBand {
    size_t startByte = 0;
    size_t byteLength = 0;
    double top = 0;
    double bottom = 0;
  };
  std::vector<LineBand> lineBands() const;
  // Where each inline box of the runs stands, in order, from the layout's
  // top-left corner.
  std::vector<Rect> inlineBoxes() const;
  // A caret before the character at byte `index` of the runs' text: zero
  // width, the line's height.
  Rect caretRect(int index) const;

  struct Impl;
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace cg
