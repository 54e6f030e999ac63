// Rich text measured and drawn through pango: fonts, colours, underline,
// strikethrough, paragraph styles (alignment, line spacing, indents,
// spacing between paragraphs) and attachments (their images, inline) of an
// attributed string become styled runs of cg::TextLayouts, one for each
// stretch of paragraphs that share a paragraph style. Characters without
// a font take the default (system font 17 unless given), without a colour
// black.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Graphics/ImageContext.h"
#include "Platform/Graphics/TextLayout.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/Geometry.h"
#include "Platform/UIKit/ParagraphStyle.h"

namespace ui {

cg::Rgba rgba(const Color& color);
cg::TextStyle textStyle(const Font& font, const Color* color);

struct TextDrawingOptions {
  std::shared_ptr<const Font> defaultFont;    // null: system font 17
  std::shared_ptr<const Color> defaultColor;  // null: black
  TextAlignment alignment = TextAlignment::Natural;  // when no paragraph style says
  int maximumLines = 0;
  cg::LineBreak lineBreak = cg::LineBreak::WordWrap;
};

// Text laid out within a width (0: unbounded), ready to measure and draw.
class TextBlock {
 public:
  TextBlock(const ns::AttributedString& text, double width, const TextDrawingOptions& options = {});
  ~TextBlock();
  TextBlock(const TextBlock&) = delete;
  TextBlock& operator=(const TextBlock&) = delete;

  // The size the lines take, not rounded.
  Size size() const;
  int lineCount() const;
  // Draws with the top-left corner at `origin`, clipped to `clip` when it
  // is not empty.
  void draw(cg::ImageContext& context, Point origin, const Rect& clip = Rect()) const;
  // Where a caret before the character at UTF-16 `index` stands, from the
  // block's top-left corner: a zero-width rectangle one line high.
  Rect caretRect(size_t index) const;
  // The laid-out lines in order: their UTF-16 range of the text and their
  // band from the block's top.
  struct LineBand {
    size_t start = 0;
    size_t length = 0;
    double top = 0;
    double bottom = 0;
  };
  std::vector<LineBand> lineBands() const;

 private:
  struct Paragraphs;
  std::vector<std::unique_ptr<Paragraphs>> parts_;
  double width_;
};

std::unique_ptr<cg::TextLayout> layoutText(const ns::AttributedString& text, double width,
                                           const TextDrawingOptions& options = {});
// The size the text takes within `width` (0: unbounded), not rounded.
Size boundingSize(const ns::AttributedString& text, double width, const TextDrawingOptions& options = {});
Size sizeOfText(const std::string& text, const Font& font, double width = 0);
// Draws the text laid out in `rect`'s width from its top-left corner, clipped to it.
void drawText(cg::ImageContext& context, const ns::AttributedString& text, const Rect& rect,
              const TextDrawingOptions& options = {});

}  // namespace ui
