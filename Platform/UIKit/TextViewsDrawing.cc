// How the views that show text draw: labels, text fields, text views and
// search bars. Each draws in its own coordinates (View::drawRect).
#include <algorithm>
#include <cmath>

#include "Platform/Foundation/StringUtf16.h"
#include "Platform/UIKit/DrawingKit.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/SearchBar.h"
#include "Platform/UIKit/SystemColors.h"
#include "Platform/UIKit/TextDrawing.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/ViewDrawing.h"

namespace ui {

namespace {

// The text with every character in `color`.
std::shared_ptr<const ns::AttributedString> recoloured(const ns::AttributedString& text, const Color& color) {
  auto copy = std::make_shared<ns::AttributedString>(text);
  copy->addAttribute(ns::kForegroundColorAttributeName, ns::AttributeValue(color.withAlphaComponent(color.alpha())),
                     ns::Range{0, copy->length()});
  return copy;
}

// The text with every font scaled by `factor` (a label shrinking to fit).
std::shared_ptr<const ns::AttributedString> scaled(const ns::AttributedString& text, const Font& defaultFont,
                                                   double factor) {
  auto copy = std::make_shared<ns::AttributedString>(text);
  text.enumerateAttribute(ns::kFontAttributeName, ns::Range{0, text.length()}, 0,
                          [&](const ns::AttributeValue& value, ns::Range range, bool*) {
                            auto font = value.as<Font>();
                            const Font& base = font ? *font : defaultFont;
                            copy->addAttribute(ns::kFontAttributeName,
                                               ns::AttributeValue(base.withSize(base.pointSize() * factor)), range);
                          });
  return copy;
}

// A text cursor in the tint colour.
void caret(cg::ImageContext& context, const Color& tint, double x, double top, double height) {
  context.setFillColor(rgba(tint));
  context.fillRect(Rect(x - 1, top, 2, height));
}

// One line of plain text in `rect`, centred vertically; with a caret at
// its end while editing.
void drawFieldText(cg::ImageContext& context, const std::string& text, const Font& font, const Color& color,
                   const Rect& rect, TextAlignment alignment, const Color* caretColor) {
  double width = drawing::drawLine(context, text, font, color, rect, alignment);
  if (!caretColor) return;
  double height = std::ceil(drawing::lineSize("X", font).height);
  double x = rect.minX() + width;
  if (alignment == TextAlignment::Center) x = rect.midX() + width / 2;
  if (alignment == TextAlignment::Right) x = rect.maxX();
  caret(context, *caretColor, x + 1, rect.midY() - height / 2, height);
}

}  // namespace

void Label::drawTextInRect(cg::ImageContext& context, const Rect& rect, const Color* color) const {
  if (!attributed_ || rect.width() <= 0) return;
  std::shared_ptr<const ns::AttributedString> text = attributed_;
  ColorPtr shown;
  if (color) {
    text = recoloured(*text, *color);
  } else if (highlighted_ && highlightedTextColor_) {
    text = recoloured(*text, *highlightedTextColor_);
  } else if (!enabled_) {
    text = recoloured(*text, *Color::withWhite(0.56));
  }
  TextDrawingOptions options{font_, textColor_, alignment_, lines_, lineBreak_};
  if (adjustsFontSize_ && lines_ == 1) {
    double natural = boundingSize(*text, 0, options).width;
    if (natural > rect.width()) {
      double factor = std::max(minimumScaleFactor_ > 0 ? minimumScaleFactor_ : 0.5, rect.width() / natural);
      text = scaled(*text, *font_, factor);
    }
  }
  auto block = std::make_unique<TextBlock>(*text, rect.width(), options);
  Size size = block->size();
  if (size.height > rect.height() + 0.5 && block->lineCount() > 1) {
    // Only the lines that fit in the rectangle show, the last truncated.
    int fit = std::max(1, int(block->lineCount() * rect.height() / size.height));
    options.maximumLines = lines_ > 0 ? std::min(lines_, fit) : fit;
    block = std::make_unique<TextBlock>(*text, rect.width(), options);
    size = block->size();
  }
  block->draw(context, Point{rect.minX(), rect.minY() + (rect.height() - size.height) / 2});
}

void Label::drawRect(const Rect&) { drawTextInRect(drawing::current(), bounds()); }

Rect TextField::textRectForBounds(const Rect& bounds) const {
  double inset = borderStyle_ == TextBorderStyle::None ? 0 : 7;
  double x = bounds.minX() + inset, right = bounds.maxX() - inset;
  if (leftView_) x += leftView_->bounds().width();
  if (rightView_) {
    right -= rightView_->bounds().width();
  } else if (clearButtonMode_ != TextFieldViewMode::Never) {
    right -= 22;
  }
  return Rect(x, bounds.minY(), std::max(0.0, right - x), bounds.height());
}

Rect TextField::clearButtonRectForBounds(const Rect& bounds) const {
  double side = 19;
  return Rect(bounds.maxX() - side - 6, bounds.midY() - side / 2, side, side);
}

void TextField::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  switch (borderStyle_) {
    case TextBorderStyle::RoundedRect: {
      cg::Path box = cg::Path::roundedRect(b.insetBy(0.25, 0.25), 5);
      if (!backgroundColor()) drawing::fill(context, *Color::white(), box);
      context.setStrokeColor(cg::Rgba::gray(0.8));
      context.setLineWidth(0.5);
      context.strokePath(box);
      break;
    }
    case TextBorderStyle::Line:
    case TextBorderStyle::Bezel:
      context.setStrokeColor(borderStyle_ == TextBorderStyle::Line ? cg::Rgba::black() : cg::Rgba::gray(0.6));
      context.setLineWidth(1);
      context.strokeRect(b.insetBy(0.5, 0.5));
      break;
    case TextBorderStyle::None: break;
  }
  if (leftView_) drawViewHierarchy(context, *leftView_, Point{b.minX(), b.midY() - leftView_->bounds().height() / 2});
  if (rightView_) {
    Size s = rightView_->bounds().size;
    drawViewHierarchy(context, *rightView_, Point{b.maxX() - s.width, b.midY() - s.height / 2});
  } else if (showsClearButton()) {
    Rect clear = clearButtonRectForBounds(b);
    drawing::clearButton(context, clear.center());
  }
  Rect textRect = isEditing() ? editingRectForBounds(b) : textRectForBounds(b);
  auto tint = tintColor();
  const Color* caretColor = isEditing() ? tint.get() : nullptr;
  if (text_.empty()) {
    drawFieldText(context, placeholder_, *font_, *placeholderTextColor(), textRect, alignment_, nullptr);
    if (caretColor) drawFieldText(context, "", *font_, *textColor_, textRect, alignment_, caretColor);
    return;
  }
  std::string shown = text_;
  if (isSecureTextEntry()) {
    shown.clear();
    for (size_t i = 0; i < ns::utf16Length(text_); ++i) shown += "•";
  }
  drawFieldText(context, shown, *font_, *textColor_, textRect, alignment_, caretColor);
}

void TextView::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  // The text container: inside the insets, with the line fragments'
  // padding on each side; in content coordinates, so that the bounds'
  // origin (the content offset) scrolls it. Only what lies in the bounds is
  // drawn.
  Point origin = textOrigin();
  const TextBlock& block = laidOutText();
  block.draw(context, origin, bounds());
  if (isEditing() && selection_.length == 0) {
    Rect at = block.caretRect(selection_.location);
    double height = at.height() > 0 ? at.height() : std::ceil(drawing::lineSize("X", *font_).height);
    caret(context, *tintColor(), origin.x + at.minX() + 1, origin.y + at.minY(), height);
  }
}

void SearchBar::layoutSubviews() {
  if (cancelButton_) {
    Rect b = bounds();
    cancelButton_->setFrame(Rect(b.width() - 70, (b.height() - 36) / 2, 62, 36));
  }
}

void SearchBar::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  if (style_ != SearchBarStyle::Minimal) {
    drawing::fill(context, barTint_ ? *barTint_ : *Color::withRGBA(0.79, 0.79, 0.81), b);
  }
  double right = showsCancel_ ? b.width() - 78 : b.width() - 8;
  Rect field(8, (b.height() - 36) / 2, std::max(0.0, right - 8), 36);
  auto fieldColor = style_ == SearchBarStyle::Minimal ? Color::withRGBA(118 / 255.0, 118 / 255.0, 128 / 255.0, 0.12)
                                                      : Color::white();
  drawing::fill(context, *fieldColor, cg::Path::roundedRect(field, 10));
  auto iconColor = Color::withRGBA(60 / 255.0, 60 / 255.0, 67 / 255.0, 0.6);
  drawing::magnifier(context, Point{field.minX() + 16, field.midY()}, 15, *iconColor);
  Rect textRect(field.minX() + 30, field.minY(), std::max(0.0, field.width() - 38), field.height());
  auto font = Font::systemFont(17);
  auto tint = tintColor();
  const Color* caretColor = isFirstResponder() ? tint.get() : nullptr;
  if (text_.empty()) {
    drawFieldText(context, placeholder_, *font, *iconColor, textRect, TextAlignment::Left, nullptr);
    if (caretColor) drawFieldText(context, "", *font, *iconColor, textRect, TextAlignment::Left, caretColor);
  } else {
    drawFieldText(context, text_, *font, *Color::black(), textRect, TextAlignment::Left, caretColor);
  }
}

}  // namespace ui
