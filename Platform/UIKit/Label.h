// A label: plain or attributed text in a font, colour and alignment, over
// a number of lines. Its size that fits comes from pango's measurement of
// the text (TextDrawing.h). Setting the plain text replaces the attributed
// text with the text in the label's font and colour, and the other way.
#pragma once

#include <memory>
#include <string>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Graphics/ImageContext.h"
#include "Platform/Graphics/TextLayout.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ParagraphStyle.h"
#include "Platform/UIKit/View.h"

namespace ui {

using LineBreakMode = cg::LineBreak;

class Label : public View {
 public:
  Label();
  explicit Label(const Rect& frame);
  std::string typeName() const override { return "Label"; }

  const std::string& text() const { return text_; }
  void setText(std::string text);
  // Null when the label has no text.
  std::shared_ptr<const ns::AttributedString> attributedText() const { return attributed_; }
  void setAttributedText(std::shared_ptr<const ns::AttributedString> text);
  std::shared_ptr<const Font> font() const { return font_; }
  void setFont(std::shared_ptr<const Font> font);
  ColorPtr textColor() const { return textColor_; }
  void setTextColor(ColorPtr color);
  ColorPtr highlightedTextColor() const { return highlightedTextColor_; }
  void setHighlightedTextColor(ColorPtr c) { highlightedTextColor_ = std::move(c); }
  TextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(TextAlignment a) { alignment_ = a; }
  int numberOfLines() const { return lines_; }
  void setNumberOfLines(int n) { lines_ = n; }
  LineBreakMode lineBreakMode() const { return lineBreak_; }
  void setLineBreakMode(LineBreakMode m) { lineBreak_ = m; }
  bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
  void setAdjustsFontSizeToFitWidth(bool a) { adjustsFontSize_ = a; }
  double minimumScaleFactor() const { return minimumScaleFactor_; }
  void setMinimumScaleFactor(double f) { minimumScaleFactor_ = f; }
  bool isHighlighted() const { return highlighted_; }
  void setHighlighted(bool h) { highlighted_ = h; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e) { enabled_ = e; }
  double preferredMaxLayoutWidth() const { return preferredMaxLayoutWidth_; }
  void setPreferredMaxLayoutWidth(double w) { preferredMaxLayoutWidth_ = w; }

  // The text's size within size.width (0 or less: unbounded) and the lines.
  Size sizeThatFits(Size size) const override;
  std::string screenText() const override;
  bool matchesText(const std::string& text) const override;
  bool rendersSubviews() const override { return false; }
  void drawRect(const Rect& rect) override;
  // Draws the text into `rect` as the label shows it (centred vertically,
  // shrunk to fit when it adjusts its font size), in `color` when given (a
  // button's title takes the colour of the button's state).
  void drawTextInRect(cg::ImageContext& context, const Rect& rect, const Color* color = nullptr) const;

 private:
  void rebuildAttributed();

  std::string text_;
  std::shared_ptr<const ns::AttributedString> attributed_;
  std::shared_ptr<const Font> font_;
  ColorPtr textColor_;
  ColorPtr highlightedTextColor_;
  TextAlignment alignment_ = TextAlignment::Natural;
  int lines_ = 1;
  LineBreakMode lineBreak_ = LineBreakMode::TruncateTail;
  bool adjustsFontSize_ = false;
  double minimumScaleFactor_ = 0;
  bool highlighted_ = false;
  bool enabled_ = true;
  double preferredMaxLayoutWidth_ = 0;
};

}  // namespace ui
