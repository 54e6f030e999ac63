// Rich text measured and drawn through pango: fonts, colours, underline,
// strikethrough and paragraph alignment of an attributed string become
// styled runs of a cg::TextLayout. Characters without a font take the
// default (system font 17 unless given), without a colour black.
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

std::unique_ptr<cg::TextLayout> layoutText(const ns::AttributedString& text, double width,
                                           const TextDrawingOptions& options = {});
// The size the text takes within `width` (0: unbounded), not rounded.
Size boundingSize(const ns::AttributedString& text, double width, const TextDrawingOptions& options = {});
Size sizeOfText(const std::string& text, const Font& font, double width = 0);
// Draws the text laid out in `rect`'s width from its top-left corner, clipped to it.
void drawText(cg::ImageContext& context, const ns::AttributedString& text, const Rect& rect,
              const TextDrawingOptions& options = {});

}  // namespace ui
