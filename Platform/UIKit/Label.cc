#include "Platform/UIKit/Label.h"

#include <cmath>

#include "Platform/UIKit/TextDrawing.h"

namespace ui {

Label::Label() : font_(Font::systemFont(17)), textColor_(Color::black()) {
  setOpaque(false);
  setUserInteractionEnabled(false);
}

Label::Label(const Rect& frame) : Label() { setFrame(frame); }

void Label::rebuildAttributed() {
  if (text_.empty()) {
    attributed_.reset();
    return;
  }
  ns::TextAttributes attributes;
  attributes[ns::kFontAttributeName] = ns::AttributeValue(font_);
  attributes[ns::kForegroundColorAttributeName] = ns::AttributeValue(textColor_);
  attributed_ = std::make_shared<const ns::AttributedString>(text_, attributes);
}

void Label::setText(std::string text) {
  text_ = std::move(text);
  rebuildAttributed();
  setNeedsDisplay();
}

void Label::setAttributedText(std::shared_ptr<const ns::AttributedString> text) {
  attributed_ = text && text->length() ? std::move(text) : nullptr;
  text_ = attributed_ ? attributed_->string() : std::string();
  setNeedsDisplay();
}

void Label::setFont(std::shared_ptr<const Font> font) {
  font_ = font ? std::move(font) : Font::systemFont(17);
  if (attributed_) {
    // The new font applies to the whole text, as the platform's label does.
    auto copy = std::make_shared<ns::AttributedString>(*attributed_);
    copy->addAttribute(ns::kFontAttributeName, ns::AttributeValue(font_), ns::Range{0, copy->length()});
    attributed_ = copy;
  }
}

void Label::setTextColor(ColorPtr color) {
  textColor_ = color ? std::move(color) : Color::black();
  if (attributed_) {
    auto copy = std::make_shared<ns::AttributedString>(*attributed_);
    copy->addAttribute(ns::kForegroundColorAttributeName, ns::AttributeValue(textColor_),
                       ns::Range{0, copy->length()});
    attributed_ = copy;
  }
}

Size Label::sizeThatFits(Size size) const {
  if (!attributed_) return {0, 0};
  TextDrawingOptions options;
  options.defaultFont = font_;
  options.alignment = alignment_;
  options.maximumLines = lines_;
  double width = size.width > 0 ? size.width : 0;
  if (lines_ == 1) width = 0;
  Size s = boundingSize(*attributed_, width, options);
  return {std::ceil(s.width), std::ceil(s.height)};
}

std::string Label::screenText() const {
  if (text_.empty()) return {};
  return "\"" + text_ + "\"";
}

}  // namespace ui

namespace ui {

bool Label::matchesText(const std::string& text) const {
  return View::matchesText(text) || (!text.empty() && text_ == text);
}

}  // namespace ui
