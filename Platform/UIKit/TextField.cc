#include "Platform/UIKit/TextField.h"

#include <cmath>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Platform/UIKit/TextDrawing.h"

namespace ui {

TextField::TextField() : font_(Font::systemFont(17)), textColor_(Color::black()) { setOpaque(false); }

TextField::TextField(const Rect& frame) : TextField() { setFrame(frame); }

void TextField::setText(std::string text) { text_ = std::move(text); }

bool TextField::showsClearButton() const {
  switch (clearButtonMode_) {
    case TextFieldViewMode::Never: return false;
    case TextFieldViewMode::Always: return !text_.empty();
    case TextFieldViewMode::WhileEditing: return isEditing() && !text_.empty();
    case TextFieldViewMode::UnlessEditing: return !isEditing() && !text_.empty();
  }
  return false;
}

namespace {
size_t utf16Length(const std::string& text) { return ns::AttributedString(text).length(); }

std::string replaceUtf16(const std::string& text, ns::Range range, const std::string& replacement) {
  ns::AttributedString s(text);
  s.replaceCharacters(range, std::string_view(replacement));
  return s.string();
}
}  // namespace

bool TextField::replace(ns::Range range, const std::string& replacement) {
  auto keep = shared_from_this();
  if (auto d = delegate(); d && !d->shouldChangeCharacters(*this, range, replacement)) return false;
  text_ = replaceUtf16(text_, range, replacement);
  sendActionsForControlEvents(kControlEventEditingChanged);
  ns::NotificationCenter::defaultCenter().post(kTextFieldTextDidChangeNotification, shared_from_this());
  return true;
}

void TextField::insertText(const std::string& text) {
  size_t end = utf16Length(text_);
  replace(ns::Range{end, 0}, text);
}

void TextField::deleteBackward() {
  if (text_.empty()) return;
  std::u16string units = ns::AttributedString(text_).utf16();
  size_t length = 1;
  // A surrogate pair goes as one character.
  if (units.size() >= 2 && units.back() >= 0xDC00 && units.back() <= 0xDFFF) length = 2;
  replace(ns::Range{units.size() - length, length}, "");
}

void TextField::pressReturn() {
  auto keep = shared_from_this();
  if (auto d = delegate(); d && !d->textFieldShouldReturn(*this)) return;
  sendActionsForControlEvents(kControlEventEditingDidEndOnExit);
}

bool TextField::clear() {
  if (auto d = delegate(); d && !d->textFieldShouldClear(*this)) return false;
  if (text_.empty()) return true;
  text_.clear();
  sendActionsForControlEvents(kControlEventEditingChanged);
  ns::NotificationCenter::defaultCenter().post(kTextFieldTextDidChangeNotification, shared_from_this());
  return true;
}

bool TextField::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder()) return false;
  if (auto d = delegate(); d && !d->textFieldShouldBeginEditing(*this)) return false;
  if (!Control::becomeFirstResponder()) return false;
  if (clearsOnBegin_) text_.clear();
  if (auto d = delegate()) d->textFieldDidBeginEditing(*this);
  sendActionsForControlEvents(kControlEventEditingDidBegin);
  ns::NotificationCenter::defaultCenter().post(kTextFieldTextDidBeginEditingNotification, shared_from_this());
  return true;
}

bool TextField::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  if (auto d = delegate(); d && !d->textFieldShouldEndEditing(*this)) return false;
  if (!Control::resignFirstResponder()) return false;
  if (auto d = delegate()) d->textFieldDidEndEditing(*this);
  sendActionsForControlEvents(kControlEventEditingDidEnd);
  ns::NotificationCenter::defaultCenter().post(kTextFieldTextDidEndEditingNotification, shared_from_this());
  return true;
}

bool TextField::tap() {
  if (!isEnabled()) return false;
  sendActionsForControlEvents(kControlEventTouchDown);
  becomeFirstResponder();
  return true;
}

Size TextField::sizeThatFits(Size) const {
  Size s = sizeOfText(text_.empty() ? placeholder_ : text_, *font_);
  return {std::ceil(s.width) + 14, std::max(std::ceil(s.height) + 8, 30.0)};
}

std::string TextField::screenText() const {
  std::string shown = text_;
  if (isSecureTextEntry()) {
    shown.clear();
    for (size_t i = 0; i < utf16Length(text_); ++i) shown += "•";
  }
  std::string out = "TextField";
  if (!placeholder_.empty()) out += " [" + placeholder_ + "]";
  out += " \"" + shown + "\"";
  if (isEditing()) out += " (editing)";
  if (!isEnabled()) out += " (disabled)";
  return out;
}

bool TextField::matchesText(const std::string& text) const {
  return Control::matchesText(text) || (!text.empty() && placeholder_ == text);
}

}  // namespace ui
