// What the input layer types into: the text field and the text view.
#pragma once

#include <string>

namespace ui {

class TextInput {
 public:
  virtual ~TextInput() = default;
  // Types `text` at the selection, as a keyboard does (the delegate may refuse).
  virtual void insertText(const std::string& text) = 0;
  // The backspace key.
  virtual void deleteBackward() = 0;
  virtual bool hasText() const = 0;
  // The return key.
  virtual void pressReturn() {}
};

}  // namespace ui
