#include "Platform/UIKit/TextView.h"

#include <algorithm>
#include <cmath>

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Pasteboard.h"
#include "Platform/UIKit/TextDrawing.h"

namespace ui {

TextView::TextView() : font_(Font::systemFont(12)), textColor_(Color::black()) {
  typing_[ns::kFontAttributeName] = ns::AttributeValue(font_);
  typing_[ns::kForegroundColorAttributeName] = ns::AttributeValue(textColor_);
}

TextView::TextView(const Rect& frame) : TextView() { setFrame(frame); }

void TextView::setDelegate(std::weak_ptr<TextViewDelegate> d) {
  delegate_ = d;
  ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(d.lock()));
}

void TextView::setAttributedText(const ns::AttributedString& text) {
  text_ = text;
  selection_ = ns::Range{text_.length(), 0};
  if (text_.length() > 0) typing_ = text_.attributesAtIndex(text_.length() - 1);
  setNeedsDisplay();
}

void TextView::setText(const std::string& text) {
  ns::TextAttributes attributes;
  attributes[ns::kFontAttributeName] = ns::AttributeValue(font_);
  attributes[ns::kForegroundColorAttributeName] = ns::AttributeValue(textColor_);
  setAttributedText(ns::AttributedString(text, attributes));
  typing_ = attributes;
}

void TextView::setFont(std::shared_ptr<const Font> f) {
  font_ = f ? std::move(f) : Font::systemFont(12);
  if (text_.length()) text_.addAttribute(ns::kFontAttributeName, ns::AttributeValue(font_), ns::Range{0, text_.length()});
  typing_[ns::kFontAttributeName] = ns::AttributeValue(font_);
}

void TextView::setTextColor(ColorPtr c) {
  textColor_ = c ? std::move(c) : Color::black();
  if (text_.length())
    text_.addAttribute(ns::kForegroundColorAttributeName, ns::AttributeValue(textColor_), ns::Range{0, text_.length()});
  typing_[ns::kForegroundColorAttributeName] = ns::AttributeValue(textColor_);
}

void TextView::setSelectedRange(ns::Range range) {
  size_t n = text_.length();
  size_t location = std::min(range.location, n);
  ns::Range clamped{location, std::min(range.length, n - location)};
  if (clamped == selection_) return;
  selection_ = clamped;
  if (auto d = delegate()) d->textViewDidChangeSelection(*this);
}

void TextView::setEditable(bool e) {
  editable_ = e;
  if (!e && isFirstResponder()) resignFirstResponder();
}

void TextView::changed() {
  setNeedsDisplay();
  if (auto d = delegate()) d->textViewDidChange(*this);
  ns::NotificationCenter::defaultCenter().post(kTextViewTextDidChangeNotification, shared_from_this());
}

bool TextView::replace(ns::Range range, const ns::AttributedString& replacement) {
  if (!editable_) return false;
  size_t n = text_.length();
  if (range.location > n) range.location = n;
  range.length = std::min(range.length, n - range.location);
  auto keep = shared_from_this();
  if (auto d = delegate(); d && !d->shouldChangeText(*this, range, replacement.string())) return false;
  applyChange(range, replacement);
  selection_ = ns::Range{range.location + replacement.length(), 0};
  changed();
  if (auto d = delegate()) d->textViewDidChangeSelection(*this);
  return true;
}

void TextView::applyChange(ns::Range range, const ns::AttributedString& replacement) {
  ns::AttributedString old = text_.attributedSubstring(range);
  text_.replaceCharacters(range, replacement);
  ns::Range inserted{range.location, replacement.length()};
  std::weak_ptr<Responder> weak = weak_from_this();
  // Undoing puts the old text back, and registers the redo the same way.
  undo_.registerUndo([weak, inserted, old] {
    auto self = std::static_pointer_cast<TextView>(weak.lock());
    if (!self) return;
    self->applyChange(inserted, old);
    self->selection_ = ns::Range{inserted.location + old.length(), 0};
    self->changed();
  });
}

void TextView::insertText(const std::string& text) {
  replace(selection_, ns::AttributedString(text, typing_));
}

void TextView::insertAttributedText(const ns::AttributedString& text) { replace(selection_, text); }

void TextView::deleteBackward() {
  if (selection_.length > 0) {
    replace(selection_, ns::AttributedString());
    return;
  }
  if (selection_.location == 0) return;
  size_t length = 1;
  const std::u16string& units = text_.utf16();
  char16_t last = units[selection_.location - 1];
  if (last >= 0xDC00 && last <= 0xDFFF && selection_.location >= 2) length = 2;
  replace(ns::Range{selection_.location - length, length}, ns::AttributedString());
}

void TextView::scrollRangeToVisible(ns::Range range) {
  // Lines are laid out from the top; the range's line decides the offset.
  auto layout = layoutText(text_.attributedSubstring(ns::Range{0, std::min(range.location, text_.length())}),
                           bounds().width(), {font_, textColor_});
  double y = layout->size().height + containerInset_.top;
  scrollRectToVisible(Rect(0, std::max(0.0, y - 20), bounds().width(), 20), false);
}

void TextView::copy() {
  if (selection_.length == 0) return;
  Pasteboard::general().setString(text_.attributedSubstring(selection_).string());
}

void TextView::cut() {
  if (selection_.length == 0 || !editable_) return;
  copy();
  replace(selection_, ns::AttributedString());
}

void TextView::paste() {
  if (auto text = Pasteboard::general().string()) insertText(*text);
}

void TextView::selectAll() { setSelectedRange(ns::Range{0, text_.length()}); }

bool TextView::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder()) return false;
  if (editable_) {
    if (auto d = delegate(); d && !d->textViewShouldBeginEditing(*this)) return false;
  }
  if (!ScrollView::becomeFirstResponder()) return false;
  if (editable_) {
    if (auto d = delegate()) d->textViewDidBeginEditing(*this);
    ns::NotificationCenter::defaultCenter().post(kTextViewTextDidBeginEditingNotification, shared_from_this());
  }
  return true;
}

bool TextView::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  bool wasEditing = editable_;
  if (wasEditing) {
    if (auto d = delegate(); d && !d->textViewShouldEndEditing(*this)) return false;
  }
  if (!ScrollView::resignFirstResponder()) return false;
  if (wasEditing) {
    if (auto d = delegate()) d->textViewDidEndEditing(*this);
    ns::NotificationCenter::defaultCenter().post(kTextViewTextDidEndEditingNotification, shared_from_this());
  }
  return true;
}

bool TextView::performTap(Point location) {
  if (View::performTap(location)) return true;
  return becomeFirstResponder();
}

Size TextView::sizeThatFits(Size size) const {
  TextDrawingOptions options{font_, textColor_};
  Size s = boundingSize(text_, size.width > 0 ? size.width : 0, options);
  return {size.width > 0 ? size.width : std::ceil(s.width),
          std::ceil(s.height) + containerInset_.top + containerInset_.bottom};
}

std::string TextView::screenText() const {
  std::string out = "TextView";
  if (isEditing()) out += " (editing)";
  else if (!editable_) out += " (read-only)";
  std::string text = text_.string();
  if (text.empty()) return out + " \"\"";
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    out += "\n  \"" + line + "\"";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

}  // namespace ui
