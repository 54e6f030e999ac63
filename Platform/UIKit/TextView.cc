#include "Platform/UIKit/TextView.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/DrawingKit.h"
#include "Platform/UIKit/Pasteboard.h"
#include "Platform/UIKit/TextDrawing.h"

namespace ui {

TextView::TextView() : font_(Font::systemFont(12)), textColor_(Color::black()) {
  typing_[ns::kFontAttributeName] = ns::AttributeValue(font_);
  typing_[ns::kForegroundColorAttributeName] = ns::AttributeValue(textColor_);
}

TextView::TextView(const Rect& frame) : TextView() { setFrame(frame); }

TextView::~TextView() = default;

namespace {
// The line fragments' padding on each side of the text container.
constexpr double kLinePadding = 5;
}  // namespace

void TextView::textChanged() {
  ++textVersion_;
  setNeedsLayout();
  setNeedsDisplay();
}

void TextView::showCaretLater() {
  if (!isEditing()) return;
  caretToShow_ = true;
  setNeedsLayout();
}

const TextBlock& TextView::laidOutText() const {
  double width = std::max(0.0, bounds().width() - containerInset_.left - containerInset_.right - 2 * kLinePadding);
  if (!block_ || blockVersion_ != textVersion_ || blockWidth_ != width) {
    block_ = std::make_unique<TextBlock>(text_, width, TextDrawingOptions{font_, textColor_, alignment_});
    blockVersion_ = textVersion_;
    blockWidth_ = width;
  }
  return *block_;
}

Point TextView::textOrigin() const { return {containerInset_.left + kLinePadding, containerInset_.top}; }

void TextView::updateContentSize() {
  double height = std::ceil(laidOutText().size().height) + containerInset_.top + containerInset_.bottom;
  setContentSize({bounds().width(), height});
}

void TextView::layoutSubviews() {
  ScrollView::layoutSubviews();
  updateContentSize();
  if (caretToShow_) {
    caretToShow_ = false;
    if (isEditing()) scrollRangeToVisible(ns::Range{selection_.location + selection_.length, 0});
  }
}

void TextView::setDelegate(std::weak_ptr<TextViewDelegate> d) {
  delegate_ = d;
  ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(d.lock()));
}

void TextView::setAttributedText(const ns::AttributedString& text) {
  text_ = text;
  selection_ = ns::Range{text_.length(), 0};
  if (text_.length() > 0) typing_ = text_.attributesAtIndex(text_.length() - 1);
  textChanged();
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
  textChanged();
}

void TextView::setTextColor(ColorPtr c) {
  textColor_ = c ? std::move(c) : Color::black();
  if (text_.length())
    text_.addAttribute(ns::kForegroundColorAttributeName, ns::AttributeValue(textColor_), ns::Range{0, text_.length()});
  typing_[ns::kForegroundColorAttributeName] = ns::AttributeValue(textColor_);
  textChanged();
}

void TextView::setSelectedRange(ns::Range range) {
  size_t n = text_.length();
  size_t location = std::min(range.location, n);
  ns::Range clamped{location, std::min(range.length, n - location)};
  if (clamped == selection_) return;
  selection_ = clamped;
  showCaretLater();
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
  showCaretLater();
  changed();
  if (auto d = delegate()) d->textViewDidChangeSelection(*this);
  return true;
}

void TextView::applyChange(ns::Range range, const ns::AttributedString& replacement) {
  ns::AttributedString old = text_.attributedSubstring(range);
  text_.replaceCharacters(range, replacement);
  textChanged();
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
  // The line of the range's start, with the text's insets around it.
  updateContentSize();
  const TextBlock& block = laidOutText();
  Rect caret = block.caretRect(std::min(range.location, text_.length()));
  double height = caret.height() > 0 ? caret.height() : std::ceil(drawing::lineSize("X", *font_).height);
  double top = textOrigin().y + caret.minY();
  scrollRectToVisible(Rect(0, top, bounds().width(), height), false);
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
    showCaretLater();
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
  if (editable_) {
    // The laid-out line under the finger, its line break left out.
    double y = location.y - textOrigin().y;
    size_t caret = text_.length();
    for (const auto& band : laidOutText().lineBands()) {
      if (y >= band.bottom) continue;
      caret = band.start + band.length;
      if (caret > band.start && text_.utf16()[caret - 1] == u'\n') --caret;
      break;
    }
    setSelectedRange(ns::Range{caret, 0});
  }
  return becomeFirstResponder();
}

Size TextView::sizeThatFits(Size size) const {
  TextDrawingOptions options{font_, textColor_};
  Size s = boundingSize(text_, size.width > 0 ? size.width : 0, options);
  return {size.width > 0 ? size.width : std::ceil(s.width),
          std::ceil(s.height) + containerInset_.top + containerInset_.bottom};
}

namespace {
// The text's lines (split at line breaks) with their UTF-16 ranges.
struct TextLine {
  std::string text;
  size_t start, end;
};

std::vector<TextLine> textLines(const ns::AttributedString& text) {
  std::vector<TextLine> lines;
  std::string utf8 = text.string();
  const std::u16string& units = text.utf16();
  size_t byte = 0, unit = 0;
  while (true) {
    size_t byteEnd = utf8.find('\n', byte);
    size_t unitEnd = units.find(u'\n', unit);
    if (byteEnd == std::string::npos) {
      lines.push_back({utf8.substr(byte), unit, units.size()});
      return lines;
    }
    lines.push_back({utf8.substr(byte, byteEnd - byte), unit, unitEnd});
    byte = byteEnd + 1;
    unit = unitEnd + 1;
  }
}

std::string linesText(int count) { return count == 1 ? "1 line" : std::to_string(count) + " lines"; }
}  // namespace

std::string TextView::screenText() const {
  std::string out = "TextView";
  if (isEditing()) out += " (editing)";
  else if (!editable_) out += " (read-only)";
  if (text_.length() == 0) return out + " \"\"";
  std::vector<TextLine> lines = textLines(text_);
  // What lies between the top of the bounds and the bottom inset (the
  // keyboard): the laid-out lines there name the text's lines on screen.
  size_t firstShown = 0, lastShown = text_.length();
  double top = contentOffset().y - textOrigin().y;
  double bottom = top + bounds().height() - contentInset().bottom;
  if (bounds().height() > 0) {
    bool any = false;
    for (const auto& band : laidOutText().lineBands()) {
      if (band.bottom <= top || band.top >= bottom) continue;
      if (!any) firstShown = band.start;
      lastShown = band.start + band.length;
      any = true;
    }
    if (!any) firstShown = lastShown = text_.length() + 1;  // nothing shows
  }
  int above = 0, below = 0;
  for (const auto& line : lines) {
    if (line.end < firstShown) {
      ++above;
    } else if (line.start > lastShown || (line.start == lastShown && line.start > firstShown)) {
      ++below;
    } else {
      if (above && out.find('\n') == std::string::npos) out += "\n  " + linesText(above) + " above";
      out += "\n  \"" + line.text + "\"";
    }
  }
  if (out.find('\n') == std::string::npos && above) out += "\n  " + linesText(above) + " above";
  if (below) out += "\n  " + linesText(below) + " below";
  return out;
}

Point TextView::touchPoint(const std::string& text) const {
  for (const auto& line : textLines(text_)) {
    if (line.text != text || text == text_.string()) continue;
    Rect caret = laidOutText().caretRect(line.end);
    Point origin = textOrigin();
    return {origin.x + caret.minX(), origin.y + caret.midY()};
  }
  return ScrollView::touchPoint(text);
}

bool TextView::matchesText(const std::string& text) const {
  if (ScrollView::matchesText(text)) return true;
  if (text.empty()) return false;
  if (text == typeName() || text == text_.string()) return true;
  for (const auto& line : textLines(text_)) {
    if (line.text == text) return true;
  }
  return false;
}

}  // namespace ui
