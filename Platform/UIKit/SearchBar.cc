#include "Platform/UIKit/SearchBar.h"

#include "Platform/Foundation/AttributedString.h"
#include "Platform/UIKit/Button.h"

namespace ui {

SearchBar::SearchBar() : View(Rect(0, 0, 320, 56)) {}

void SearchBar::setText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  if (auto d = delegate()) d->textDidChange(*this, text_);
}

void SearchBar::setShowsCancelButton(bool s, bool) {
  showsCancel_ = s;
  if (s && !cancelButton_) {
    auto button = Button::withType(ButtonType::System);
    button->setTitle("Cancel");
    button->setFrame(Rect(bounds().width() - 70, 10, 62, 36));
    button->setAutoresizingMask(kAutoresizingFlexibleLeftMargin);
    SearchBar* self = this;
    button->addTarget(this, [self](Control&) { self->cancel(); }, kControlEventTouchUpInside);
    cancelButton_ = button;
    addSubview(button);
  } else if (!s && cancelButton_) {
    cancelButton_->removeFromSuperview();
    cancelButton_.reset();
  }
}

void SearchBar::insertText(const std::string& text) { setText(text_ + text); }

void SearchBar::deleteBackward() {
  if (text_.empty()) return;
  ns::AttributedString s(text_);
  size_t n = s.length();
  size_t cut = 1;
  char16_t last = s.utf16()[n - 1];
  if (last >= 0xDC00 && last <= 0xDFFF && n >= 2) cut = 2;
  s.deleteCharacters(ns::Range{n - cut, cut});
  setText(s.string());
}

void SearchBar::pressReturn() {
  if (auto d = delegate()) d->searchButtonClicked(*this);
}

void SearchBar::cancel() {
  if (auto d = delegate()) d->cancelButtonClicked(*this);
}

bool SearchBar::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (auto d = delegate(); d && !d->searchBarShouldBeginEditing(*this)) return false;
  if (!View::becomeFirstResponder()) return false;
  if (auto d = delegate()) d->searchBarTextDidBeginEditing(*this);
  return true;
}

bool SearchBar::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  if (!View::resignFirstResponder()) return false;
  if (auto d = delegate()) d->searchBarTextDidEndEditing(*this);
  return true;
}

bool SearchBar::performTap(Point location) {
  if (View::performTap(location)) return true;
  return becomeFirstResponder();
}

std::string SearchBar::screenText() const {
  std::string out = "SearchBar [" + placeholder_ + "] \"" + text_ + "\"";
  if (isFirstResponder()) out += " (editing)";
  if (showsCancel_) out += " [Cancel]";
  return out;
}

bool SearchBar::matchesText(const std::string& text) const {
  return View::matchesText(text) || (!text.empty() && placeholder_ == text);
}

}  // namespace ui
