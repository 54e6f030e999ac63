// A hardware keyboard, for a display with one (the host program's window):
// typing goes to the focused input as the on-screen keyboard's keys do,
// and the keys that keyboard lacks work as a person expects. Unlike the
// input layer's actions (Input.h) a key does not settle: it runs what it
// queued on the main run loop and returns, so that typing keeps pace.
//
// - type, backspace, enter: into the first responder (TextInput).
// - The arrows move a text view's cursor: left and right by a character
//   (a selection collapses to its start or end), up and down by a line of
//   its text, to the same column where that line is long enough. A text
//   field keeps its cursor at the end, so arrows leave it alone.
// - paste(text): the text goes on the general pasteboard (what the person
//   copied elsewhere) and the focused input pastes it as its own paste
//   command does; an input without one has it typed.
//
// Each returns false when no text input is focused (or the cursor cannot
// move that way). Main thread.
#pragma once

#include <string>

namespace ui {

class HardwareKeyboard {
 public:
  enum class Arrow { Left, Right, Up, Down };

  static bool type(const std::string& text);
  static bool backspace();
  static bool enter();
  static bool arrow(Arrow arrow);
  static bool paste(const std::string& text);
};

}  // namespace ui
