#include "Platform/UIKit/HardwareKeyboard.h"

#include <algorithm>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/UIKit/Pasteboard.h"
#include "Platform/UIKit/Responder.h"
#include "Platform/UIKit/TextInput.h"
#include "Platform/UIKit/TextView.h"

namespace ui {

namespace {

TextInput* focusedInput() { return dynamic_cast<TextInput*>(currentFirstResponder()); }

bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The start of the line `at` lies in.
size_t lineStart(const std::u16string& text, size_t at) {
  while (at > 0 && text[at - 1] != u'\n') --at;
  return at;
}

// The end of that line (its line break, or the end of the text).
size_t lineEnd(const std::u16string& text, size_t at) {
  while (at < text.size() && text[at] != u'\n') ++at;
  return at;
}

// Where the cursor goes from a selection, in UTF-16 units.
size_t cursorAfter(const std::u16string& text, ns::Range selection, HardwareKeyboard::Arrow arrow) {
  size_t at = selection.location;
  switch (arrow) {
    case HardwareKeyboard::Arrow::Left:
      if (selection.length > 0) return at;
      if (at == 0) return 0;
      return at >= 2 && isLowSurrogate(text[at - 1]) ? at - 2 : at - 1;
    case HardwareKeyboard::Arrow::Right:
      if (selection.length > 0) return at + selection.length;
      if (at >= text.size()) return text.size();
      return at + 1 < text.size() && isHighSurrogate(text[at]) ? at + 2 : at + 1;
    case HardwareKeyboard::Arrow::Up: {
      size_t start = lineStart(text, at);
      if (start == 0) return 0;
      size_t previous = lineStart(text, start - 1);
      return previous + std::min(at - start, start - 1 - previous);
    }
    case HardwareKeyboard::Arrow::Down: {
      size_t end = lineEnd(text, at);
      if (end >= text.size()) return text.size();
      size_t next = end + 1;
      return next + std::min(at - lineStart(text, at), lineEnd(text, next) - next);
    }
  }
  return at;
}

bool done() {
  dispatch::RunLoop::main().drain();
  return true;
}

}  // namespace

bool HardwareKeyboard::type(const std::string& text) {
  TextInput* input = focusedInput();
  if (!input) return false;
  input->insertText(text);
  return done();
}

bool HardwareKeyboard::backspace() {
  TextInput* input = focusedInput();
  if (!input) return false;
  input->deleteBackward();
  return done();
}

bool HardwareKeyboard::enter() {
  TextInput* input = focusedInput();
  if (!input) return false;
  input->pressReturn();
  return done();
}

bool HardwareKeyboard::arrow(Arrow arrow) {
  auto* view = dynamic_cast<TextView*>(currentFirstResponder());
  if (!view) return false;
  auto keep = view->shared_from_this();
  ns::Range selection = view->selectedRange();
  size_t at = cursorAfter(view->attributedText().utf16(), selection, arrow);
  if (at == selection.location && selection.length == 0) return false;
  view->setSelectedRange(ns::Range{at, 0});
  view->scrollRangeToVisible(ns::Range{at, 0});
  return done();
}

bool HardwareKeyboard::paste(const std::string& text) {
  TextInput* input = focusedInput();
  if (!input) return false;
  Pasteboard::general().setString(text);
  if (auto* view = dynamic_cast<TextView*>(input)) {
    view->paste();
  } else {
    input->insertText(text);
  }
  return done();
}

}  // namespace ui
